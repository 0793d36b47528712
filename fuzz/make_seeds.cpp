// Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/ from our own writers: settings files saved
// by the settings store, hives written by the registry, containers the source hands back for each capability, BMP
// pages written by the BMP encoder, the dialog templates of the resources, and the INI and control files the
// README and the demo describe. Usage: fuzz_make_seeds <source folder>

#include "FuzzSupport.h"
#include "TwainInput.h"

#include "companions/sti/StiLaunch.h"
#include "devicescan/PushCommand.h"
#include "devicescan/SaveImage.h"
#include "devicescan/VazeDoziSettings.h"
#include "platform/base/registry.h"
#include "platform/base/windows.h"
#include "platform/base/wstring.h"
#include "platform/gdiplus/objidl.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/ScanParam.h"
#include "settings/SettingStore.h"
#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CMsgCapability.h"
#include "twain/CapabilityTable.h"
#include "ui/dialogs/ImgSaveSettings.h"
#include "ui/scanwindow/NetInstall.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
std::filesystem::path g_corpus;

void Put(const std::string& target, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(g_corpus / target);
    fuzz::WriteHostFile((g_corpus / target / name).string(), bytes.data(), bytes.size());
}
void Put(const std::string& target, const std::string& name, const std::string& text) {
    Put(target, name, Bytes(text.begin(), text.end()));
}
Bytes ReadHost(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void Add16(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Add32(Bytes& out, std::uint32_t v) {
    Add16(out, v & 0xFFFF);
    Add16(out, v >> 16);
}
void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

const std::string kIni = "[TWAIN]\nFile Prefix=kvx7731\nVersion=1.0.0.1\nManufacturer=Korvel\n"
                         "Product Name(kvx7731)=Korvel KVX 7731\nSetting Folder=\\Korvel\n"
                         "Setting Path=\\Korvel\\kvx7731\\\nRegistry=SOFTWARE\\Korvel\\kvx7731\n"
                         "HasADF(kvx7731)=TRUE\nIsAutoduplex(kvx7731)=FALSE\nHasManualDuplex(kvx7731)=TRUE\n"
                         "HasAutoCrop(kvx7731)=TRUE\nHasA3(kvx7731)=FALSE\n";

ScanParam SampleRecord(int colour, int resolution) {
    ScanParam p{};
    p.portType = 1;
    std::strcpy(p.szFoundAddress, "192.0.2.7");
    p.source = 1;
    p.colorMode = colour;
    p.resolution = resolution;
    p.paperSize = 3;
    for (int i = 0; i < 19; ++i)
        p.adv[i] = i * 3 - 10;
    return p;
}

// settings.dat as the store writes it: new, with saved and current records, in app mode.
void SettingsSeeds() {
    WCHAR ini[MAX_PATH];
    GetIniPath(ini);
    fuzz::WriteDosFile(ini, kIni.data(), kIni.size());
    WCHAR path[MAX_PATH];
    GetSettingsFilePath(path);
    const std::string host = platform::path::ToHostPath(path);
    InitSettingsFile();
    const Bytes fresh = ReadHost(host);
    Put("cfgfile", "new.dat", fresh);
    Put("settingstore", "new.dat", fresh);
    const ScanParam colour = SampleRecord(2, 2);
    const ScanParam grey = SampleRecord(1, 3);
    SaveNamedSetting(u"Colour 300", reinterpret_cast<const BYTE*>(&colour));
    SaveNamedSetting(u"Grey, 600 dpi", reinterpret_cast<const BYTE*>(&grey));
    SaveCurrentSetting(u"Colour 300", reinterpret_cast<const BYTE*>(&colour));
    const Bytes saved = ReadHost(host);
    Put("cfgfile", "saved.dat", saved);
    Put("settingstore", "saved.dat", saved);
    g_bAppMode = TRUE;
    GetSettingsFilePath(path);
    InitSettingsFile();
    SaveCurrentSetting(u"app", reinterpret_cast<const BYTE*>(&grey));
    Put("settingstore", "APPsettings.dat", ReadHost(platform::path::ToHostPath(path)));
    g_bAppMode = FALSE;
}

void IniSeeds() {
    Put("ini", "demo.ini", kIni);
    Put("ini", "flags.ini",
        "; a model of the Wren platform\n[TWAIN]\nIsPlatformWren(fuzz)=TRUE\nIsPlatformWren_RGB(fuzz)=TRUE\n"
        "IsPlatformIbis(fuzz)=FALSE\nRegistry = \"SOFTWARE\\Korvel\\fuzz\"\n[English]\nAP UI Title=Scan\n"
        "Copyright='(c) Korvel'\n[Hebrew]\nRight=\xd7\xa9\n");
    std::u16string wide = u"\uFEFF[TWAIN]\r\nFile Prefix=kvx7718\r\nVersion=2.0\r\n";
    Bytes utf16;
    for (char16_t c : wide)
        Add16(utf16, c);
    Put("ini", "utf16.ini", utf16);
}

// Hives as the registry writes them: the language choice and values of every type.
void RegistrySeeds() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\kvx7731", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    const char16_t language[] = u"English";
    RegSetValueExW(key, u"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(language), sizeof language);
    RegCloseKey(key);
    const std::string hive = platform::path::ToHostPath(u"C:\\Registry\\HKLM.reg");
    Put("registry", "language.reg", ReadHost(hive));
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Office\\11.0\\Common\\Scan", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const DWORD flags = 0x12;
    RegSetValueExW(key, u"FLAGS0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof flags);
    const char16_t device[] = u"KVX 7731\0second\0";
    RegSetValueExW(key, u"DEVICE0", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(device), sizeof device);
    RegSetValueExW(key, u"Empty \"quoted\"\n", 0, REG_BINARY, nullptr, 0);
    RegCloseKey(key);
    Put("registry", "office.reg", ReadHost(hive));
}

// The containers the source answers MSG_GET with, as capability records and as DS_Entry calls.
void TwainSeeds() {
    CDsAssistor assistor;
    CColMsg colMsg;
    colMsg.SetAssistor(&assistor);
    CMsgCapability handler;
    TW_IDENTITY app{};
    app.Id = 21;
    app.ProtocolMajor = 2;
    app.ProtocolMinor = 4;
    TW_IDENTITY ds{};
    TwainCall open{&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
    assistor.ConnectApp(&open);
    InitCapabilityTable();

    auto record = [](Bytes& out, unsigned flags, unsigned group, unsigned dat, unsigned msg, const Bytes& payload) {
        out.push_back(static_cast<std::uint8_t>(flags));
        out.push_back(static_cast<std::uint8_t>(group));
        Add16(out, dat);
        Add16(out, msg);
        Add16(out, static_cast<unsigned>(payload.size()));
        Append(out, payload);
    };
    Bytes session;
    record(session, 0, 1, DAT_IDENTITY, MSG_OPENDS, Bytes(sizeof(TW_IDENTITY)));
    Bytes everyGet = {0};
    for (size_t index = 0; index < std::size(fuzz::kCapabilities); ++index) {
        TW_CAPABILITY cap{fuzz::kCapabilities[index], TWON_DONTCARE16, nullptr};
        TwainCall call{&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap};
        Add16(everyGet, static_cast<unsigned>(index));
        Add16(everyGet, 0); // MSG_GET
        Add16(everyGet, 0);
        if (handler.Handle(&call) != TWRC_SUCCESS || cap.hContainer == nullptr)
            continue;
        const auto* block = static_cast<const std::uint8_t*>(GlobalLock(cap.hContainer));
        Bytes container;
        Add16(container, cap.ConType);
        container.insert(container.end(), block, block + GlobalSize(cap.hContainer));
        GlobalFree(cap.hContainer);
        // The value set back as it came, then read again.
        Bytes set = {0};
        Add16(set, static_cast<unsigned>(index));
        Add16(set, 3); // MSG_SET
        Add16(set, static_cast<unsigned>(container.size()));
        Append(set, container);
        Add16(set, static_cast<unsigned>(index));
        Add16(set, 1); // MSG_GETCURRENT
        Add16(set, 0);
        Put("capability", "set_" + std::to_string(fuzz::kCapabilities[index]), set);
        Bytes payload;
        Add16(payload, fuzz::kCapabilities[index]);
        Append(payload, container);
        record(session, 0, 1, DAT_CAPABILITY, MSG_SET, payload);
    }
    Put("capability", "every_get", everyGet);
    FreeCapabilityTable();

    // A session as an imaging application runs it: open, set, enable without and with the window, ask for the
    // image information, transfer, end, disable, close.
    Bytes window(sizeof(TW_USERINTERFACE));
    Bytes noWindow = window;
    window[0] = 1;
    record(session, 0, 1, DAT_USERINTERFACE, MSG_ENABLEDS, noWindow);
    record(session, 0, 1, DAT_EVENT, MSG_PROCESSEVENT, Bytes(64));
    record(session, 0, 2, DAT_IMAGEINFO, MSG_GET, {});
    record(session, 0, 2, DAT_IMAGELAYOUT, MSG_GET, {});
    record(session, 0, 1, DAT_SETUPMEMXFER, MSG_GET, {});
    Bytes mem(sizeof(TW_IMAGEMEMXFER));
    const std::uint32_t flags = 0x11, length = 4096; // TWMF_APPOWNS | TWMF_POINTER
    std::memcpy(mem.data() + 26, &flags, 4);
    std::memcpy(mem.data() + 30, &length, 4);
    record(session, 0, 2, DAT_IMAGEMEMXFER, MSG_GET, mem);
    record(session, 0, 2, DAT_IMAGENATIVEXFER, MSG_GET, {});
    record(session, 0, 1, DAT_PENDINGXFERS, MSG_ENDXFER, {});
    record(session, 0, 1, DAT_USERINTERFACE, MSG_DISABLEDS, {});
    record(session, 0, 1, DAT_USERINTERFACE, MSG_ENABLEDS, window);
    Bytes file(sizeof(TW_SETUPFILEXFER));
    std::memcpy(file.data(), "page.bmp", 8);
    record(session, 0, 1, DAT_SETUPFILEXFER, MSG_SET, file);
    record(session, 0, 2, DAT_IMAGEFILEXFER, MSG_GET, {});
    record(session, 0, 2, DAT_PALETTE8, MSG_GET, {});
    record(session, 0, 1, DAT_STATUS, MSG_GET, {});
    record(session, 0, 1, DAT_PENDINGXFERS, MSG_RESET, {});
    record(session, 0, 1, DAT_USERINTERFACE, MSG_DISABLEDS, {});
    record(session, 0, 1, DAT_IDENTITY, MSG_CLOSEDS, {});
    Put("ds_entry", "session", session);
    // The window made with a current setting of extreme adjustments and indexes out of every list.
    Bytes extreme;
    ScanParam wild = SampleRecord(2, 9);
    wild.paperSize = 1000;
    wild.source = 2;
    for (int i = 0; i < 19; ++i)
        wild.adv[i] = i % 2 ? 0x7FFFFFFF : -0x7FFFFFFF;
    const auto* wildBytes = reinterpret_cast<const std::uint8_t*>(&wild);
    record(extreme, 0, 0xFE, 0, 0, Bytes(wildBytes, wildBytes + sizeof wild));
    record(extreme, 0, 1, DAT_IDENTITY, MSG_OPENDS, Bytes(sizeof(TW_IDENTITY)));
    record(extreme, 0, 1, DAT_USERINTERFACE, MSG_ENABLEDS, window);
    record(extreme, 0, 1, DAT_EVENT, MSG_PROCESSEVENT, Bytes(64));
    record(extreme, 0, 2, DAT_IMAGEINFO, MSG_GET, {});
    record(extreme, 0, 1, DAT_USERINTERFACE, MSG_DISABLEDS, {});
    record(extreme, 0, 1, DAT_IDENTITY, MSG_CLOSEDS, {});
    Put("ds_entry", "window_with_extreme_settings", extreme);
    Bytes other;
    record(other, 0, 1, DAT_IDENTITY, MSG_GET, {});
    record(other, 3, 1, DAT_IDENTITY, MSG_OPENDS, Bytes(sizeof(TW_IDENTITY)));
    record(other, 2, 1, DAT_STATUS, MSG_GET, {});
    record(other, 0, 1, DAT_XFERGROUP, MSG_GET, {});
    Put("ds_entry", "old_application", other);
}

// Pages as the device-scan program holds them: BMP files of 1, 8 and 24 bits, bottom-up and top-down, each written
// again by the BMP encoder of the save dispatch.
Bytes Bmp(int width, int height, int bits) {
    const int stride = (width * bits + 31) / 32 * 4;
    const int colours = bits <= 8 ? 1 << bits : 0;
    const std::uint32_t offset = 14 + 40 + colours * 4;
    const int rows = height < 0 ? -height : height;
    Bytes out = {'B', 'M'};
    Add32(out, offset + stride * rows);
    Add32(out, 0);
    Add32(out, offset);
    Add32(out, 40);
    Add32(out, static_cast<std::uint32_t>(width));
    Add32(out, static_cast<std::uint32_t>(height));
    Add16(out, 1);
    Add16(out, bits);
    Add32(out, 0);
    Add32(out, stride * rows);
    Add32(out, 11811); // 300 dpi
    Add32(out, 11811);
    Add32(out, 0);
    Add32(out, 0);
    for (int i = 0; i < colours; ++i) {
        const std::uint8_t v = static_cast<std::uint8_t>(i * 255 / (colours - 1));
        out.insert(out.end(), {v, v, v, 0});
    }
    for (int i = 0; i < stride * rows; ++i)
        out.push_back(static_cast<std::uint8_t>(i * 37));
    return out;
}

Bytes Encoded(const Bytes& page) {
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, page.size());
    std::memcpy(GlobalLock(global), page.data(), page.size());
    GlobalUnlock(global);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(global, TRUE, &stream);
    SaveImage(stream, u"C:\\Temp\\seed.bmp", SaveTypeBmp);
    stream->Release();
    return ReadHost(platform::path::ToHostPath(u"C:\\Temp\\seed.bmp"));
}

void BmpSeeds(const std::filesystem::path& source) {
    const struct {
        const char* name;
        int width, height, bits, type;
    } pages[] = {{"bw", 13, 5, 1, SaveTypeTiff},
                 {"grey", 7, -4, 8, SaveTypePng},
                 {"colour", 5, 3, 24, SaveTypeJpeg},
                 {"colour_topdown", 3, -3, 24, SaveTypePdf}};
    for (const auto& page : pages) {
        Bytes choice = {static_cast<std::uint8_t>(page.type)};
        Bytes bytes = choice;
        Append(bytes, Bmp(page.width, page.height, page.bits));
        Put("bmp", page.name, bytes);
        bytes = choice;
        Append(bytes, Encoded(Bmp(page.width, page.height, page.bits)));
        Put("bmp", std::string(page.name) + "_encoded", bytes);
    }
    Bytes skin = {0};
    Append(skin, ReadHost((source / "resources/quennet/button_normal.bmp").string()));
    Put("bmp", "skin_button", skin);
}

// Push commands as the command-line road builds them from digits, for both command lengths; the flag byte in front
// selects the length.
void PushSeeds() {
    const struct {
        const char* name;
        const char16_t* digits;
        bool orca;
    } commands[] = {{"colour_pdf_feeder", u"222211", false},
                    {"grey_tiff_flatbed", u"110000", false},
                    {"bw_ofd_duplex", u"003351", false},
                    {"orca_several_pages", u"2220101", true}};
    for (const auto& command : commands) {
        const int length = command.orca ? kPushCommandLengthOrca : kPushCommandLength;
        BYTE bytes[kPushCommandLengthOrca] = {};
        BuildPushCommandFromDigits(command.digits, bytes, length);
        Bytes seed = {static_cast<std::uint8_t>(command.orca ? 1 : 0)};
        seed.insert(seed.end(), bytes, bytes + length);
        Put("push_command", command.name, seed);
    }
}

// vazedozi_settings.dat as the settings window writes it: the defaults, and a folder of the user's choice.
void VazeDoziSeeds() {
    WCHAR ini[MAX_PATH];
    GetIniPath(ini, kIniDropCharsDeviceScan);
    fuzz::WriteDosFile(ini, kIni.data(), kIni.size());
    WCHAR path[MAX_PATH];
    GetVazeDoziSettingsPath(path);
    VazeDoziSettings settings{};
    GetDefaultVazeDoziSettings(settings);
    WriteVazeDoziSettings(settings);
    Put("vazedozi_settings", "defaults.dat", ReadHost(platform::path::ToHostPath(path)));
    settings.openFile = 1;
    settings.openFolder = 0;
    std::memset(settings.saveFolder, 0, sizeof settings.saveFolder);
    std::char_traits<char16_t>::copy(settings.saveFolder, u"C:\\Scans\\\u00c9t\u00e9 2026", 17);
    WriteVazeDoziSettings(settings);
    Put("vazedozi_settings", "chosen_folder.dat", ReadHost(platform::path::ToHostPath(path)));
}

// Launch files as the scan key writes them.
void StiSeeds() {
    sti::Launch launch;
    launch.deviceName = u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000";
    launch.eventCode = 1;
    launch.eventName = u"Scan Button";
    launch.eventData = {'V', 2, 2, 2, 2, 1, 1};
    launch.devicePath = u"\\\\.\\Usbscan0";
    sti::WriteLaunch(launch);
    Put("sti_launch", "usb.txt", ReadHost(platform::path::ToHostPath(sti::kLaunchFile)));
    launch.eventData = {'V', 3, 0, 9, 4, 0, 0, 1};
    launch.devicePath = u"192.0.2.7";
    sti::WriteLaunch(launch);
    Put("sti_launch", "network_orca.txt", ReadHost(platform::path::ToHostPath(sti::kLaunchFile)));
}

// imgSaveSettings.dat as the save dialogs write it.
void ImgSaveSeeds() {
    WCHAR path[MAX_PATH];
    GetImgSaveSettingsPath(path, MAX_PATH);
    ImgSaveSettings record{};
    std::char_traits<char16_t>::copy(record.szFolder, u"C:\\Scans\\", 9);
    std::char_traits<char16_t>::copy(record.szName, u"img-001", 7);
    std::char_traits<char16_t>::copy(record.szType, u"pdf", 3);
    record.nOpenFolder = 1;
    WriteImgSaveSettings(path, record);
    Put("img_save_settings", "folder_pdf.dat", ReadHost(platform::path::ToHostPath(path)));
    record.nMode = kImgSaveModeEmail;
    std::char_traits<char16_t>::copy(record.szMailProgram, u"C:\\Mail\\mail.exe", 17);
    std::char_traits<char16_t>::copy(record.szType, u"ofd", 3);
    record.nManualDuplex = 1;
    WriteImgSaveSettings(path, record);
    Put("img_save_settings", "email_ofd.dat", ReadHost(platform::path::ToHostPath(path)));
}

// An installation's values as an installer leaves them, with the marker the window writes when it takes one over.
void NetInstallSeeds() {
    const std::u16string ip = u"192.0.2.7";
    const std::u16string time = u"2026/12/08 10:00:00";
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\kvx7731", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegSetValueExW(key, u"IP", 0, REG_SZ, reinterpret_cast<const BYTE*>(ip.c_str()),
                   static_cast<DWORD>((ip.size() + 1) * 2));
    RegSetValueExW(key, u"IP TIME", 0, REG_SZ, reinterpret_cast<const BYTE*>(time.c_str()),
                   static_cast<DWORD>((time.size() + 1) * 2));
    RegCloseKey(key);
    WCHAR folder[MAX_PATH];
    GetSettingsFolder(folder, kIniDropCharsDataSource);
    const std::string marker = platform::path::ToHostPath(std::u16string(folder) + u"net_install.dat");
    std::remove(marker.c_str());
    {
        CNetInstall install;
        if (install.Check(FALSE))
            install.WriteMarker();
    }
    auto seed = [&](std::uint8_t flags, const Bytes& file) {
        Bytes bytes = {flags};
        Add16(bytes, static_cast<unsigned>((ip.size() + 1) * 2));
        for (const char16_t c : ip + u'\0')
            Add16(bytes, c);
        Add16(bytes, static_cast<unsigned>((time.size() + 1) * 2));
        for (const char16_t c : time + u'\0')
            Add16(bytes, c);
        Append(bytes, file);
        return bytes;
    };
    Put("net_install", "new_installation", seed(8, {}));
    Put("net_install", "taken_by_twain", seed(1, ReadHost(marker)));
}

void TextSeeds(const std::filesystem::path& source) {
    // Every template once; of the per-language ones (named after the language's code) only English, Chinese and
    // Hebrew.
    std::set<std::string> otherLanguages;
    for (int number = 0; number < kLanguageCount; ++number) {
        const std::u16string code = GetLanguageInfo(number).code;
        otherLanguages.insert(std::string(code.begin(), code.end()) + "_");
    }
    for (const char* kept : {"enus_", "zhcn_", "he_"})
        otherLanguages.erase(kept);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(source / "resources")) {
        const std::string name = entry.path().filename().string();
        const bool otherLanguage =
            std::any_of(otherLanguages.begin(), otherLanguages.end(),
                        [&](const std::string& prefix) { return name.compare(0, prefix.size(), prefix) == 0; });
        if (entry.path().extension() == ".dlg" && !otherLanguage)
            Put("dialog_template", name, ReadHost(entry.path().string()));
    }
    Put("scandrv_control", "readme.conf",
        "# the README's keys with their defaults\nfeeder_sheets = 3\nusb = 1\ndocument = 1200 1200 7200 9600\n"
        "skew = 0\npage_ms = 0\nduplex_wait_ms = 1000\n");
    Put("scandrv_control", "faults.conf",
        "feeder_sheets = 2\nusb = 0\nnet_device = KVX-7731 192.0.2.7\nnet_device = KVX-7718 192.0.2.8\n"
        "document = 600 900 9000 12000\nskew = -2.5\njam = 2 400\nstall = 1 10 0\npush_status = 0 0 1\n"
        "fault = ScanDrv_StartScan -5 once 2\nfault = ScanDrv_ReadScanData 7 from\n");
}

} // namespace

// The readers added later: command lines as launchers write them, page JPEGs from the JPEG encoder of the save
// dispatch, the Office scan list written by the registry, [Self Testing] sections, environment values, driver
// scripts of a whole page and DSM_Entry sessions.
void Utf16Line(const std::string& name, const std::u16string& line) {
    Bytes out;
    for (char16_t c : line)
        Add16(out, c);
    Put("command_line", name, out);
}

Bytes Jpeg(const Bytes& page) {
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, page.size());
    std::memcpy(GlobalLock(global), page.data(), page.size());
    GlobalUnlock(global);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(global, TRUE, &stream);
    SaveImage(stream, u"C:\\Temp\\seed.jpg", SaveTypeJpeg);
    stream->Release();
    return ReadHost(platform::path::ToHostPath(u"C:\\Temp\\seed.jpg"));
}

void LaterSeeds() {
    Utf16Line("push", u"\"C:\\Program Files\\Korvel\\Velmora.exe\" -PUSH_PARAM \\\\?\\usb#vid_1234 0123456789");
    Utf16Line("sti", u"Velmora.exe /StiDevice:Image\\0000 /StiEvent:{61127f40-e1a5-11d0-b454-00a02438ad48}");
    Utf16Line("quotes", u"a \"b c\" d\\\\\"e\" \"\"\"f\"\" \\\\\\\" \t -INS");

    Put("jpeg_frame", "grey.jpg", Jpeg(Bmp(64, 48, 8)));
    Put("jpeg_frame", "colour.jpg", Jpeg(Bmp(40, -30, 24)));
    // An Adobe marker before a progressive frame of four components, as other programs write CMYK pages.
    Put("jpeg_frame", "adobe_cmyk.jpg",
        Bytes{0xFF, 0xD8, 0xFF, 0xEE, 0x00, 0x0E, 'A',  'd',  'o', 'b',  'e', 0,    100, 0, 0,
              0,    0,    0,    0xFF, 0xFF, 0xC2, 0x00, 0x14, 8,   0,    16,  0,    32,  4, 1,
              0x11, 0,    2,    0x11, 0,    3,    0x11, 0,    4,   0x11, 0,   0xFF, 0xD9});

    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Microsoft\\Office\\11.0\\Common\\Scan", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const char16_t other[] = u"Other Scanner";
    const char16_t ours[] = u"KVX 7731 TWAIN";
    const DWORD flags = 3;
    RegSetValueExW(key, u"DEVICE0", 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
    RegSetValueExW(key, u"FLAGS0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof flags);
    RegSetValueExW(key, u"DEVICE1", 0, REG_SZ, reinterpret_cast<const BYTE*>(ours), sizeof ours);
    const std::string hkcu = platform::path::ToHostPath(u"C:\\Registry\\HKCU.reg");
    Put("office_devices", "list.reg", ReadHost(hkcu));
    // A full list of names too long for the buffer and a large binary value: the parse at length.
    for (int i = 0; i < 32; ++i) {
        const std::u16string name = u"DEVICE" + platform::ToUtf16(std::to_string(i));
        const std::u16string text(300 + i, u'x');
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * 2));
    }
    const Bytes large(60000, 0xA5);
    RegSetValueExW(key, u"Cache", 0, REG_BINARY, large.data(), static_cast<DWORD>(large.size()));
    RegCloseKey(key);
    Put("office_devices", "large.reg", ReadHost(hkcu));
    Put("registry", "large.reg", ReadHost(hkcu));

    Put("self_test", "series.ini",
        kIni + "[Self Testing]\nTesting Enable=TRUE\nColor Random=TRUE\nResolution Random=TRUE\n"
               "Paper Random=true\nTesting Count=12\nTesting Seconds=0\n");
    std::string large_ini = kIni;
    for (int i = 0; i < 4000; ++i)
        large_ini += "[Section " + std::to_string(i) + "]\nKey=" + std::string(30, 'v') + "\n";
    large_ini += "[Self Testing]\nTesting Count=-5\nTesting Seconds=99999999999\n";
    Put("self_test", "large.ini", large_ini);
    Put("ini", "large.ini", large_ini);

    Put("environment", "switch_on", std::string("1\0de_DE.UTF-8\0\0ja_JP", 21));
    Put("environment", "switch_off", std::string("11\0\0zh_TW.Big5\0he_IL.UTF-8@x", 29));
    Put("environment", "long", std::string(100, '%') + std::string("\0C\0\0pt_BR", 9));

    // A colour page at 75 dpi whose driver answers every call as the simulated device does.
    Bytes script = {0, 5};
    script.insert(script.end(), {0, 0}); // open: success, a handle
    script.insert(script.end(), {0, 0}); // adjustments, scan window
    script.insert(script.end(), {0, 0}); // scan size: success, small
    Add16(script, 620);
    Add16(script, 876);
    script.push_back(0); // start
    for (int i = 0; i < 40; ++i)
        script.insert(script.end(), {0, static_cast<std::uint8_t>(i * 7), 0});
    Put("driver_replies", "page", script);
    Bytes refused = {3, 2, 0xC5, 0};
    Put("driver_replies", "refused_open", refused);

    // An application's session: open the manager, list, open the source, register, a notification, a call to the
    // source, close the source and the manager.
    Bytes session;
    auto call = [&](std::uint8_t who, std::uint8_t dat, std::uint8_t msg, std::uint8_t what) {
        session.insert(session.end(), {who, 0, dat, msg, what});
    };
    call(0x00, 0, 0, 0); // A: DAT_PARENT MSG_OPENDSM
    call(0x00, 3, 8, 3); // A: DAT_ENTRYPOINT MSG_GET into a scratch block
    session.insert(session.end(), 64, 0);
    call(0x00, 1, 2, 1);  // A: DAT_IDENTITY MSG_GETFIRST into the source's identity
    call(0x00, 1, 3, 1);  // MSG_GETNEXT
    call(0x00, 1, 6, 1);  // MSG_OPENDS
    call(0x04, 5, 9, 4);  // A to the source: DAT_CALLBACK2 MSG_REGISTER_CALLBACK
    call(0x0A, 6, 10, 0); // the source to A: DAT_NULL MSG_XFERREADY
    call(0x04, 7, 8, 3);  // A to the source: a call it refuses
    session.insert(session.end(), 64, 0);
    call(0x00, 2, 8, 3); // DAT_STATUS
    session.insert(session.end(), 64, 0);
    call(0x00, 1, 7, 1); // MSG_CLOSEDS
    call(0x00, 0, 1, 0); // MSG_CLOSEDSM
    Put("dsm_entry", "session", session);
}

// Pages of skewed lines of strokes, as text looks to the page fixes, in each mode and at a few resolutions.
void PageFixSeeds() {
    struct Page {
        const char* name;
        std::uint8_t mode, resolution;
        int width, height;
        std::int8_t slope; // in 64ths
    };
    for (const Page& page : {Page{"bw_300_rising", 0, 2, 230, 200, -2}, Page{"grey_300_falling", 1, 2, 200, 239, 3},
                             Page{"colour_600_level", 2, 3, 180, 160, 0}, Page{"grey_150_steep", 1, 1, 120, 239, 9}}) {
        Bytes bytes{page.mode, page.resolution};
        Add16(bytes, static_cast<unsigned>(page.width - 60));
        Add16(bytes, static_cast<unsigned>(page.height - 60));
        bytes.insert(bytes.end(), {230, static_cast<std::uint8_t>(-12), 1});
        for (int line = 0; line < 8; ++line)
            for (int word = 0; word < 5; ++word)
                bytes.insert(bytes.end(),
                             {static_cast<std::uint8_t>(40 + word * 36), static_cast<std::uint8_t>(50 + line * 20),
                              static_cast<std::uint8_t>(20 + (line * 7 + word * 5) % 16),
                              static_cast<std::uint8_t>(page.slope), 3, 20});
        Put("pagefixes", page.name, bytes);
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <source folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path source = argv[1];
    g_corpus = source / "fuzz" / "corpus";
    fuzz::Root();
    SettingsSeeds();
    IniSeeds();
    RegistrySeeds();
    TwainSeeds();
    BmpSeeds(source);
    PushSeeds();
    VazeDoziSeeds();
    StiSeeds();
    ImgSaveSeeds();
    NetInstallSeeds();
    TextSeeds(source);
    LaterSeeds();
    PageFixSeeds();
    return 0;
}
