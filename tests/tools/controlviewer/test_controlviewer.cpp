// The control viewer as a user calls it: its message argument is text in the terminal's UTF-8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <png.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The dark pixels of the error dialog the viewer renders with this message: a measure of how much text it drew.
long DarkPixels(const fs::path& folder, const std::string& message) {
    const std::string command = "PLATFORM_ROOT='" + folder.string() + "' '" CONTROLVIEWER_PROGRAM "' --png '" +
                                folder.string() + "' --message '" + message + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return -1;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const std::string png = (folder / "error.png").string();
    if (!png_image_begin_read_from_file(&image, png.c_str()))
        return -1;
    image.format = PNG_FORMAT_GRAY;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return -1;
    long dark = 0;
    for (png_byte value : pixels)
        dark += value < 128 ? 1 : 0;
    return dark;
}

TEST(ControlViewer, TheMessageIsDecodedFromUtf8) {
    char pattern[] = "/tmp/controlviewer-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    const long none = DarkPixels(folder, " ");
    const long plain = DarkPixels(folder, "eeeeeeeeeeee");
    const long accented = DarkPixels(folder, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                                             "\xC3\xA9\xC3\xA9\xC3\xA9"); // twelve e-acute
    fs::remove_all(folder);
    ASSERT_GE(none, 0) << "the viewer did not render";
    ASSERT_GT(plain, none);
    // Twelve letters either way, the accents adding a little; two characters per letter would double the ink.
    EXPECT_LT(accented - none, (plain - none) * 3 / 2) << "each UTF-8 byte became a character of its own";
    EXPECT_GT(accented - none, plain - none);
}

} // namespace
