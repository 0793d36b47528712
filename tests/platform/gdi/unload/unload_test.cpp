// A host that links no renderer loads a module that draws text, unloads it and loads it again (a TWAIN
// application opening the data source twice): the fonts and shapers the first load made stay usable.
#include <dlfcn.h>

#include <gtest/gtest.h>

namespace {

bool DrawInFreshLoad() {
    void* module = dlopen(GDI_OTHER_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        ADD_FAILURE() << dlerror();
        return false;
    }
    auto draw = reinterpret_cast<int (*)()>(dlsym(module, "OtherModuleDrawShapedText"));
    bool drawn = draw && draw() != 0;
    dlclose(module);
    return drawn;
}

} // namespace

TEST(ModuleUnload, TextDrawsAgainAfterTheModuleThatFirstDrewItWasUnloaded) {
    ASSERT_EQ(nullptr, dlopen("libharfbuzz.so.0", RTLD_LAZY | RTLD_NOLOAD)) << "this program links no shaper";
    EXPECT_TRUE(DrawInFreshLoad());
    EXPECT_NE(nullptr, dlopen("libharfbuzz.so.0", RTLD_LAZY | RTLD_NOLOAD)) << "the shaper stays loaded";
    EXPECT_NE(nullptr, dlopen("libfreetype.so.6", RTLD_LAZY | RTLD_NOLOAD)) << "and so does the rasteriser";
    EXPECT_TRUE(DrawInFreshLoad()) << "the second load draws with what the first one made";
}
