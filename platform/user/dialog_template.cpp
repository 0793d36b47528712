// The parser of the dialog template text form (see dialog_template.h).
#include "platform/user/dialog_template.h"

#include "platform/user/winuser.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>

namespace platform::user {

namespace {

#define NAME(x)                                                                                                        \
    { #x, static_cast < long long>(x) }
const std::map<std::string, long long>& Names() {
    static const std::map<std::string, long long> names = {
        NAME(WS_OVERLAPPED),
        NAME(WS_POPUP),
        NAME(WS_CHILD),
        NAME(WS_MINIMIZE),
        NAME(WS_VISIBLE),
        NAME(WS_DISABLED),
        NAME(WS_CLIPSIBLINGS),
        NAME(WS_CLIPCHILDREN),
        NAME(WS_MAXIMIZE),
        NAME(WS_CAPTION),
        NAME(WS_BORDER),
        NAME(WS_DLGFRAME),
        NAME(WS_VSCROLL),
        NAME(WS_HSCROLL),
        NAME(WS_SYSMENU),
        NAME(WS_THICKFRAME),
        NAME(WS_GROUP),
        NAME(WS_TABSTOP),
        NAME(WS_MINIMIZEBOX),
        NAME(WS_MAXIMIZEBOX),
        NAME(WS_OVERLAPPEDWINDOW),
        NAME(WS_POPUPWINDOW),
        NAME(WS_CHILDWINDOW),
        NAME(WS_EX_DLGMODALFRAME),
        NAME(WS_EX_NOPARENTNOTIFY),
        NAME(WS_EX_TOPMOST),
        NAME(WS_EX_TRANSPARENT),
        NAME(WS_EX_TOOLWINDOW),
        NAME(WS_EX_WINDOWEDGE),
        NAME(WS_EX_CLIENTEDGE),
        NAME(WS_EX_CONTEXTHELP),
        NAME(WS_EX_RIGHT),
        NAME(WS_EX_RTLREADING),
        NAME(WS_EX_LEFTSCROLLBAR),
        NAME(WS_EX_CONTROLPARENT),
        NAME(WS_EX_STATICEDGE),
        NAME(WS_EX_APPWINDOW),
        NAME(WS_EX_LAYOUTRTL),
        NAME(WS_EX_NOINHERITLAYOUT),
        NAME(DS_ABSALIGN),
        NAME(DS_SYSMODAL),
        NAME(DS_LOCALEDIT),
        NAME(DS_SETFONT),
        NAME(DS_MODALFRAME),
        NAME(DS_NOIDLEMSG),
        NAME(DS_SETFOREGROUND),
        NAME(DS_3DLOOK),
        NAME(DS_FIXEDSYS),
        NAME(DS_NOFAILCREATE),
        NAME(DS_CONTROL),
        NAME(DS_CENTER),
        NAME(DS_CENTERMOUSE),
        NAME(DS_CONTEXTHELP),
        NAME(DS_SHELLFONT),
        NAME(BS_PUSHBUTTON),
        NAME(BS_DEFPUSHBUTTON),
        NAME(BS_CHECKBOX),
        NAME(BS_AUTOCHECKBOX),
        NAME(BS_RADIOBUTTON),
        NAME(BS_3STATE),
        NAME(BS_AUTO3STATE),
        NAME(BS_GROUPBOX),
        NAME(BS_AUTORADIOBUTTON),
        NAME(BS_OWNERDRAW),
        NAME(BS_LEFTTEXT),
        NAME(BS_TEXT),
        NAME(BS_ICON),
        NAME(BS_BITMAP),
        NAME(BS_LEFT),
        NAME(BS_RIGHT),
        NAME(BS_CENTER),
        NAME(BS_TOP),
        NAME(BS_BOTTOM),
        NAME(BS_VCENTER),
        NAME(BS_PUSHLIKE),
        NAME(BS_MULTILINE),
        NAME(BS_NOTIFY),
        NAME(BS_FLAT),
        NAME(SS_LEFT),
        NAME(SS_CENTER),
        NAME(SS_RIGHT),
        NAME(SS_ICON),
        NAME(SS_BLACKRECT),
        NAME(SS_GRAYRECT),
        NAME(SS_WHITERECT),
        NAME(SS_BLACKFRAME),
        NAME(SS_GRAYFRAME),
        NAME(SS_WHITEFRAME),
        NAME(SS_SIMPLE),
        NAME(SS_LEFTNOWORDWRAP),
        NAME(SS_OWNERDRAW),
        NAME(SS_BITMAP),
        NAME(SS_ETCHEDHORZ),
        NAME(SS_ETCHEDVERT),
        NAME(SS_ETCHEDFRAME),
        NAME(SS_NOPREFIX),
        NAME(SS_NOTIFY),
        NAME(SS_CENTERIMAGE),
        NAME(SS_RIGHTJUST),
        NAME(SS_SUNKEN),
        NAME(SS_ENDELLIPSIS),
        NAME(SS_PATHELLIPSIS),
        NAME(SS_WORDELLIPSIS),
        NAME(ES_LEFT),
        NAME(ES_CENTER),
        NAME(ES_RIGHT),
        NAME(ES_MULTILINE),
        NAME(ES_UPPERCASE),
        NAME(ES_LOWERCASE),
        NAME(ES_PASSWORD),
        NAME(ES_AUTOVSCROLL),
        NAME(ES_AUTOHSCROLL),
        NAME(ES_NOHIDESEL),
        NAME(ES_READONLY),
        NAME(ES_WANTRETURN),
        NAME(ES_NUMBER),
        NAME(CBS_SIMPLE),
        NAME(CBS_DROPDOWN),
        NAME(CBS_DROPDOWNLIST),
        NAME(CBS_OWNERDRAWFIXED),
        NAME(CBS_OWNERDRAWVARIABLE),
        NAME(CBS_AUTOHSCROLL),
        NAME(CBS_OEMCONVERT),
        NAME(CBS_SORT),
        NAME(CBS_HASSTRINGS),
        NAME(CBS_NOINTEGRALHEIGHT),
        NAME(CBS_DISABLENOSCROLL),
        NAME(SBS_HORZ),
        NAME(SBS_VERT),
        NAME(TBS_AUTOTICKS),
        NAME(TBS_VERT),
        NAME(TBS_HORZ),
        NAME(TBS_TOP),
        NAME(TBS_BOTTOM),
        NAME(TBS_LEFT),
        NAME(TBS_RIGHT),
        NAME(TBS_BOTH),
        NAME(TBS_NOTICKS),
        NAME(TBS_ENABLESELRANGE),
        NAME(TBS_FIXEDLENGTH),
        NAME(TBS_NOTHUMB),
        NAME(TBS_TOOLTIPS),
        NAME(TBS_DOWNISLEFT),
        NAME(LBS_NOTIFY),
        NAME(LBS_SORT),
        NAME(LBS_NOINTEGRALHEIGHT),
        NAME(PBS_SMOOTH),
        NAME(PBS_VERTICAL),
        NAME(IDOK),
        NAME(IDCANCEL),
        NAME(IDABORT),
        NAME(IDRETRY),
        NAME(IDIGNORE),
        NAME(IDYES),
        NAME(IDNO),
        NAME(IDCLOSE),
        NAME(IDHELP),
        NAME(IDC_STATIC),
    };
    return names;
}
#undef NAME

struct Token {
    enum Kind { End, Word, Number, String, Comma, Bar, Newline } kind = End;
    std::string text;
    long long number = 0;
    std::u16string str;
};

void AppendUtf8(std::u16string& out, const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0;
        int extra = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 6) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c >> 4) == 14) {
            cp = c & 0x0F;
            extra = 2;
        } else {
            cp = c & 0x07;
            extra = 3;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
}

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    int line() const { return m_tokenLine; }

    bool Next(Token& t, std::string& error) {
        t = Token{};
        m_tokenLine = m_line;
        for (;;) {
            if (m_pos >= m_text.size()) {
                t.kind = Token::End;
                return true;
            }
            char c = m_text[m_pos];
            if (c == '\n') {
                ++m_pos;
                m_tokenLine = m_line++;
                t.kind = Token::Newline;
                return true;
            }
            if (c == ' ' || c == '\t' || c == '\r') {
                ++m_pos;
                continue;
            }
            if (c == '#' || (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/')) {
                while (m_pos < m_text.size() && m_text[m_pos] != '\n')
                    ++m_pos;
                continue;
            }
            break;
        }
        m_tokenLine = m_line;
        char c = m_text[m_pos];
        if (c == ',') {
            ++m_pos;
            t.kind = Token::Comma;
            return true;
        }
        if (c == '|') {
            ++m_pos;
            t.kind = Token::Bar;
            return true;
        }
        if (c == '"')
            return ReadString(t, error);
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
            const char* start = m_text.data() + m_pos;
            char* end = nullptr;
            t.number = std::strtoll(start, &end, 0);
            if (end == start) {
                error = "bad number";
                return false;
            }
            m_pos += static_cast<size_t>(end - start);
            t.kind = Token::Number;
            return true;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = m_pos;
            while (m_pos < m_text.size() &&
                   (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_'))
                ++m_pos;
            t.kind = Token::Word;
            t.text = std::string(m_text.substr(start, m_pos - start));
            for (char& ch : t.text)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            return true;
        }
        error = std::string("unexpected character '") + c + "'";
        return false;
    }

private:
    bool ReadString(Token& t, std::string& error) {
        ++m_pos;
        std::string bytes;
        for (;;) {
            if (m_pos >= m_text.size() || m_text[m_pos] == '\n') {
                error = "unterminated string";
                return false;
            }
            char c = m_text[m_pos++];
            if (c == '"') {
                if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                    bytes += '"';
                    ++m_pos;
                    continue;
                }
                break;
            }
            if (c != '\\') {
                bytes += c;
                continue;
            }
            if (m_pos >= m_text.size()) {
                error = "unterminated string";
                return false;
            }
            char e = m_text[m_pos++];
            switch (e) {
            case 'n':
                bytes += '\n';
                break;
            case 'r':
                bytes += '\r';
                break;
            case 't':
                bytes += '\t';
                break;
            case '"':
                bytes += '"';
                break;
            case '\\':
                bytes += '\\';
                break;
            case 'u': {
                if (m_pos + 4 > m_text.size()) {
                    error = "bad \\u escape";
                    return false;
                }
                unsigned value =
                    static_cast<unsigned>(std::strtoul(std::string(m_text.substr(m_pos, 4)).c_str(), nullptr, 16));
                m_pos += 4;
                AppendUtf8(t.str, bytes);
                bytes.clear();
                t.str += static_cast<char16_t>(value);
                break;
            }
            default:
                error = std::string("unknown escape \\") + e;
                return false;
            }
        }
        AppendUtf8(t.str, bytes);
        t.kind = Token::String;
        return true;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    int m_line = 1;
    int m_tokenLine = 1;
};

class Parser {
public:
    explicit Parser(std::string_view text) : m_lex(text) {}

    bool Parse(DialogTemplate& out, std::string& error) {
        if (!Advance(error))
            return false;
        bool header = false;
        bool body = false;
        while (m_tok.kind != Token::End) {
            if (m_tok.kind == Token::Newline) {
                if (!Advance(error))
                    return false;
                continue;
            }
            if (m_tok.kind != Token::Word)
                return Fail(error, "expected a statement");
            std::string word = m_tok.text;
            if (!Advance(error))
                return false;
            if (word == "DIALOG" || word == "DIALOGEX") {
                if (!Int(out.x, error) || !Comma(error) || !Int(out.y, error) || !Comma(error) || !Int(out.cx, error) ||
                    !Comma(error) || !Int(out.cy, error))
                    return false;
                out.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
                header = true;
            } else if (word == "STYLE") {
                if (!Expr(out.style, 0, error))
                    return false;
            } else if (word == "EXSTYLE") {
                if (!Expr(out.exStyle, 0, error))
                    return false;
            } else if (word == "CAPTION") {
                if (!String(out.caption, error))
                    return false;
                out.style |= WS_CAPTION;
            } else if (word == "CLASS") {
                if (!String(out.className, error))
                    return false;
            } else if (word == "FONT") {
                if (!Int(out.fontSize, error) || !Comma(error) || !String(out.fontFace, error))
                    return false;
                while (m_tok.kind == Token::Comma) { // weight, italic, charset: accepted, not used
                    if (!Advance(error))
                        return false;
                    int ignored = 0;
                    if (!Int(ignored, error))
                        return false;
                }
                out.style |= DS_SETFONT;
            } else if (word == "BEGIN" || word == "{") {
                if (!header)
                    return Fail(error, "BEGIN before DIALOGEX");
                body = true;
                if (!Items(out, error))
                    return false;
            } else {
                return Fail(error, "unknown statement " + word);
            }
            if (m_tok.kind != Token::Newline && m_tok.kind != Token::End)
                return Fail(error, "extra text after " + word);
        }
        if (!header)
            return Fail(error, "no DIALOGEX line");
        (void)body;
        return true;
    }

private:
    bool Items(DialogTemplate& out, std::string& error) {
        for (;;) {
            if (m_tok.kind == Token::Newline) {
                if (!Advance(error))
                    return false;
                continue;
            }
            if (m_tok.kind == Token::End)
                return Fail(error, "missing END");
            if (m_tok.kind != Token::Word)
                return Fail(error, "expected a control statement");
            std::string word = m_tok.text;
            if (!Advance(error))
                return false;
            if (word == "END")
                return true;
            DialogItem item;
            if (!Item(word, item, error))
                return false;
            out.items.push_back(std::move(item));
            if (m_tok.kind != Token::Newline && m_tok.kind != Token::End)
                return Fail(error, "extra text after " + word);
        }
    }

    bool Item(const std::string& word, DialogItem& item, std::string& error) {
        const DWORD base = WS_CHILD | WS_VISIBLE;
        struct Kind {
            const char16_t* cls;
            DWORD style;
            bool hasText;
        };
        static const std::map<std::string, Kind> kinds = {
            {"LTEXT", {u"Static", SS_LEFT | WS_GROUP, true}},
            {"RTEXT", {u"Static", SS_RIGHT | WS_GROUP, true}},
            {"CTEXT", {u"Static", SS_CENTER | WS_GROUP, true}},
            {"PUSHBUTTON", {u"Button", BS_PUSHBUTTON | WS_TABSTOP, true}},
            {"DEFPUSHBUTTON", {u"Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true}},
            {"CHECKBOX", {u"Button", BS_CHECKBOX | WS_TABSTOP, true}},
            {"AUTOCHECKBOX", {u"Button", BS_AUTOCHECKBOX | WS_TABSTOP, true}},
            {"RADIOBUTTON", {u"Button", BS_RADIOBUTTON, true}},
            {"AUTORADIOBUTTON", {u"Button", BS_AUTORADIOBUTTON, true}},
            {"STATE3", {u"Button", BS_3STATE | WS_TABSTOP, true}},
            {"AUTO3STATE", {u"Button", BS_AUTO3STATE | WS_TABSTOP, true}},
            {"GROUPBOX", {u"Button", BS_GROUPBOX, true}},
            {"EDITTEXT", {u"Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, false}},
            {"COMBOBOX", {u"ComboBox", CBS_SIMPLE | WS_TABSTOP, false}},
            {"SCROLLBAR", {u"ScrollBar", SBS_HORZ, false}},
        };
        if (word == "CONTROL") {
            std::u16string cls;
            if (!String(item.text, error) || !Comma(error) || !Id(item.id, error) || !Comma(error) ||
                !ClassName(cls, error) || !Comma(error) || !Expr(item.style, base, error) || !Comma(error) ||
                !Rect(item, error))
                return false;
            item.className = cls;
            item.style |= base;
            if (m_tok.kind == Token::Comma) {
                if (!Advance(error) || !Expr(item.exStyle, 0, error))
                    return false;
            }
            return true;
        }
        auto it = kinds.find(word);
        if (it == kinds.end())
            return Fail(error, "unknown control statement " + word);
        item.className = it->second.cls;
        if (it->second.hasText && (!String(item.text, error) || !Comma(error)))
            return false;
        if (!Id(item.id, error) || !Comma(error) || !Rect(item, error))
            return false;
        item.style = base | it->second.style;
        if (m_tok.kind == Token::Comma) {
            // A combo box's own kind (simple, drop-down, drop-down list) replaces the default one.
            DWORD initial = word == "COMBOBOX" ? item.style & ~static_cast<DWORD>(3) : item.style;
            if (!Advance(error) || !Expr(item.style, initial, error))
                return false;
            if (m_tok.kind == Token::Comma && (!Advance(error) || !Expr(item.exStyle, 0, error)))
                return false;
        }
        return true;
    }

    bool Rect(DialogItem& item, std::string& error) {
        return Int(item.x, error) && Comma(error) && Int(item.y, error) && Comma(error) && Int(item.cx, error) &&
               Comma(error) && Int(item.cy, error);
    }

    bool ClassName(std::u16string& cls, std::string& error) {
        if (m_tok.kind == Token::String)
            return String(cls, error);
        if (m_tok.kind == Token::Word) {
            static const std::map<std::string, std::u16string> known = {{"BUTTON", u"Button"},
                                                                        {"STATIC", u"Static"},
                                                                        {"EDIT", u"Edit"},
                                                                        {"COMBOBOX", u"ComboBox"},
                                                                        {"SCROLLBAR", u"ScrollBar"},
                                                                        {"TRACKBAR_CLASS", u"msctls_trackbar32"},
                                                                        {"PROGRESS_CLASS", u"msctls_progress32"}};
            auto it = known.find(m_tok.text);
            if (it == known.end())
                return Fail(error, "unknown class " + m_tok.text);
            cls = it->second;
            return Advance(error);
        }
        return Fail(error, "expected a class name");
    }

    // style := term { "|" term }, term := number | NAME | NOT NAME; starts from `initial` (bits NOT removes).
    bool Expr(DWORD& value, DWORD initial, std::string& error) {
        DWORD add = 0;
        DWORD remove = 0;
        for (;;) {
            bool negate = false;
            if (m_tok.kind == Token::Word && m_tok.text == "NOT") {
                negate = true;
                if (!Advance(error))
                    return false;
            }
            long long v = 0;
            if (m_tok.kind == Token::Number) {
                v = m_tok.number;
            } else if (m_tok.kind == Token::Word) {
                auto it = Names().find(m_tok.text);
                if (it == Names().end())
                    return Fail(error, "unknown style " + m_tok.text);
                v = it->second;
            } else {
                return Fail(error, "expected a style");
            }
            (negate ? remove : add) |= static_cast<DWORD>(v);
            if (!Advance(error))
                return false;
            if (m_tok.kind != Token::Bar)
                break;
            if (!Advance(error))
                return false;
        }
        value = (initial | add) & ~remove;
        return true;
    }

    bool Id(int& id, std::string& error) {
        if (m_tok.kind == Token::Number) {
            id = static_cast<int>(m_tok.number);
            return Advance(error);
        }
        if (m_tok.kind == Token::Word) {
            auto it = Names().find(m_tok.text);
            if (it == Names().end())
                return Fail(error, "unknown id " + m_tok.text);
            id = static_cast<int>(it->second);
            return Advance(error);
        }
        return Fail(error, "expected an id");
    }

    bool Int(int& v, std::string& error) {
        if (m_tok.kind != Token::Number)
            return Fail(error, "expected a number");
        v = static_cast<int>(m_tok.number);
        return Advance(error);
    }

    bool String(std::u16string& s, std::string& error) {
        if (m_tok.kind != Token::String)
            return Fail(error, "expected a string");
        s = m_tok.str;
        return Advance(error);
    }

    bool Comma(std::string& error) {
        if (m_tok.kind != Token::Comma)
            return Fail(error, "expected ','");
        return Advance(error);
    }

    bool Advance(std::string& error) {
        std::string lexError;
        if (!m_lex.Next(m_tok, lexError))
            return Fail(error, lexError);
        return true;
    }

    bool Fail(std::string& error, const std::string& what) {
        error = "line " + std::to_string(m_lex.line()) + ": " + what;
        return false;
    }

    Lexer m_lex;
    Token m_tok;
};

} // namespace

bool ParseDialogTemplate(std::string_view text, DialogTemplate& out, std::string* error) {
    out = DialogTemplate{};
    std::string message;
    Parser parser(text);
    if (!parser.Parse(out, message)) {
        if (error)
            *error = message;
        return false;
    }
    return true;
}

} // namespace platform::user
