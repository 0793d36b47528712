// Regions: sets of disjoint rectangles kept in bands, combined band by band.
#include "platform/gdi/internal.h"

#include <algorithm>
#include <cstring>

namespace platform::gdi {

namespace {

using Span = std::pair<LONG, LONG>; // [left, right)

// Union of the horizontal extents of every rectangle that covers the band [y0, y1).
std::vector<Span> SpansInBand(const std::vector<RECT>& rects, LONG y0, LONG y1) {
    std::vector<Span> spans;
    for (const RECT& r : rects)
        if (r.top <= y0 && r.bottom >= y1 && r.left < r.right)
            spans.emplace_back(r.left, r.right);
    std::sort(spans.begin(), spans.end());
    std::vector<Span> merged;
    for (const Span& s : spans) {
        if (!merged.empty() && s.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, s.second);
        else
            merged.push_back(s);
    }
    return merged;
}

bool Apply(int mode, bool a, bool b) {
    switch (mode) {
    case RGN_AND:
        return a && b;
    case RGN_OR:
        return a || b;
    case RGN_XOR:
        return a != b;
    case RGN_DIFF:
        return a && !b;
    default:
        return a;
    }
}

// Both ends of every item of both lists, sorted and without repeats; `ends` gives an item's two ends.
template <typename T, typename Ends>
std::vector<LONG> DistinctEdges(const std::vector<T>& a, const std::vector<T>& b, Ends ends) {
    std::vector<LONG> edges;
    edges.reserve(2 * (a.size() + b.size()));
    for (const std::vector<T>* list : {&a, &b})
        for (const T& item : *list) {
            auto [first, second] = ends(item);
            edges.push_back(first);
            edges.push_back(second);
        }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    return edges;
}

std::vector<Span> CombineSpans(const std::vector<Span>& a, const std::vector<Span>& b, int mode) {
    std::vector<LONG> xs = DistinctEdges(a, b, [](const Span& s) { return s; });
    std::vector<Span> out;
    size_t ia = 0, ib = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        LONG x0 = xs[i], x1 = xs[i + 1];
        while (ia < a.size() && a[ia].second <= x0)
            ++ia;
        while (ib < b.size() && b[ib].second <= x0)
            ++ib;
        bool inA = ia < a.size() && a[ia].first <= x0;
        bool inB = ib < b.size() && b[ib].first <= x0;
        if (!Apply(mode, inA, inB))
            continue;
        if (!out.empty() && out.back().second == x0)
            out.back().second = x1;
        else
            out.emplace_back(x0, x1);
    }
    return out;
}

// Builds the banded rectangle list, merging a band into the one above when their spans are identical.
Region Build(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode) {
    Region out;
    std::vector<LONG> ys = DistinctEdges(a, b, [](const RECT& r) { return Span{r.top, r.bottom}; });
    std::vector<Span> prevSpans;
    size_t prevStart = 0;
    LONG prevBottom = 0;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        LONG y0 = ys[i], y1 = ys[i + 1];
        std::vector<Span> spans = CombineSpans(SpansInBand(a, y0, y1), SpansInBand(b, y0, y1), mode);
        if (spans.empty()) {
            prevSpans.clear();
            continue;
        }
        if (!prevSpans.empty() && prevBottom == y0 && spans == prevSpans) {
            for (size_t k = prevStart; k < out.rects.size(); ++k)
                out.rects[k].bottom = y1;
        } else {
            prevStart = out.rects.size();
            for (const Span& s : spans)
                out.rects.push_back(RECT{s.first, y0, s.second, y1});
            prevSpans = std::move(spans);
        }
        prevBottom = y1;
    }
    return out;
}

} // namespace

RECT Region::box() const {
    if (rects.empty())
        return RECT{0, 0, 0, 0};
    RECT b = rects.front();
    for (const RECT& r : rects) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

bool Region::contains(int x, int y) const {
    for (const RECT& r : rects)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return true;
    return false;
}

bool Region::overlaps(const RECT& r) const {
    for (const RECT& q : rects)
        if (q.left < r.right && r.left < q.right && q.top < r.bottom && r.top < q.bottom)
            return true;
    return false;
}

void Region::offset(int dx, int dy) {
    for (RECT& r : rects) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

void Region::setRect(const RECT& r) {
    rects.clear();
    RECT n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right), std::max(r.top, r.bottom)};
    if (n.left < n.right && n.top < n.bottom)
        rects.push_back(n);
}

Region Region::combine(const Region& a, const Region& b, int mode) {
    if (mode == RGN_COPY)
        return a;
    if (mode == RGN_AND && (a.empty() || b.empty()))
        return Region{};
    return Build(a.rects, b.rects, mode);
}

Region Region::fromRects(const RECT* rects, size_t count) {
    std::vector<RECT> list;
    list.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        RECT n{std::min(rects[i].left, rects[i].right), std::min(rects[i].top, rects[i].bottom),
               std::max(rects[i].left, rects[i].right), std::max(rects[i].top, rects[i].bottom)};
        if (n.left < n.right && n.top < n.bottom)
            list.push_back(n);
    }
    return Build(list, {}, RGN_OR);
}

} // namespace platform::gdi

using namespace platform::gdi;

namespace {
RegionObject* ToRegion(HRGN h) {
    return ToObjectOf<RegionObject>(h, ObjectKind::Region);
}

HRGN NewRegion(Region region) {
    auto* obj = new RegionObject; // owned by the handle table until DeleteObject
    obj->region = std::move(region);
    Register(obj);
    return reinterpret_cast<HRGN>(obj);
}
} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    Region r;
    r.setRect(RECT{left, top, right, bottom});
    return NewRegion(std::move(r));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

HRGN ExtCreateRegion(const XFORM* xform, DWORD size, const RGNDATA* data) {
    if (xform || !data || size < sizeof(RGNDATAHEADER) || data->rdh.iType != RDH_RECTANGLES)
        return nullptr;
    DWORD header = data->rdh.dwSize ? data->rdh.dwSize : sizeof(RGNDATAHEADER);
    if (header < sizeof(RGNDATAHEADER) || size < header || (size - header) / sizeof(RECT) < data->rdh.nCount)
        return nullptr;
    std::vector<RECT> rects(data->rdh.nCount);
    std::memcpy(rects.data(), reinterpret_cast<const char*>(data) + header, rects.size() * sizeof(RECT));
    return NewRegion(Region::fromRects(rects.data(), rects.size()));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    RegionObject* d = ToRegion(dest);
    RegionObject* a = ToRegion(src1);
    RegionObject* b = mode == RGN_COPY ? a : ToRegion(src2);
    if (!d || !a || !b || mode < RGN_AND || mode > RGN_COPY)
        return ERROR;
    d->region = Region::combine(a->region, b->region, mode);
    return d->region.complexity();
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    RegionObject* r = ToRegion(rgn);
    if (!r)
        return FALSE;
    r->region.setRect(RECT{left, top, right, bottom});
    return TRUE;
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    RegionObject* r = ToRegion(rgn);
    if (!r)
        return ERROR;
    r->region.offset(dx, dy);
    return r->region.complexity();
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    RegionObject* r = ToRegion(rgn);
    return r && r->region.contains(x, y);
}

BOOL RectInRegion(HRGN rgn, const RECT* rect) {
    RegionObject* r = ToRegion(rgn);
    return r && rect && r->region.overlaps(*rect);
}

BOOL EqualRgn(HRGN a, HRGN b) {
    RegionObject* ra = ToRegion(a);
    RegionObject* rb = ToRegion(b);
    if (!ra || !rb)
        return FALSE;
    return Region::combine(ra->region, rb->region, RGN_XOR).empty();
}

int GetRgnBox(HRGN rgn, LPRECT box) {
    RegionObject* r = ToRegion(rgn);
    if (!r || !box)
        return ERROR;
    *box = r->region.box();
    return r->region.complexity();
}

DWORD GetRegionData(HRGN rgn, DWORD size, LPRGNDATA data) {
    RegionObject* r = ToRegion(rgn);
    if (!r)
        return 0;
    DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + r->region.rects.size() * sizeof(RECT));
    if (!data)
        return needed;
    if (size < needed)
        return 0;
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(r->region.rects.size());
    data->rdh.nRgnSize = static_cast<DWORD>(r->region.rects.size() * sizeof(RECT));
    data->rdh.rcBound = r->region.box();
    std::memcpy(reinterpret_cast<char*>(data) + sizeof(RGNDATAHEADER), r->region.rects.data(),
                r->region.rects.size() * sizeof(RECT));
    return needed;
}
