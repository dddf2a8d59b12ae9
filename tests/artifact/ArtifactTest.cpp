// Checks of the built installer as a file: the 32-bit product's PE headers
// and imports (parsed from its bytes), and every resource it carries (read
// through the resource loader with the module mapped as a data file, then
// decoded here byte by byte). The 64-bit twin is consulted for its manifest.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// ---------------------------------------------------------------------------
// Paths and files

std::string Narrow(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

// The build hands the paths over as Unix paths; Wine maps them to DOS paths.
std::wstring WindowsPath(const char* unixOrDos)
{
    if (unixOrDos == nullptr || *unixOrDos == '\0')
        return {};
    std::string path(unixOrDos);
    if (path[0] == '/') {
        using WineToDos = WCHAR*(CDECL*)(const char*);
        auto toDos = reinterpret_cast<WineToDos>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
        if (toDos != nullptr) {
            if (WCHAR* dos = toDos(path.c_str())) {
                std::wstring result(dos);
                ::HeapFree(::GetProcessHeap(), 0, dos);
                return result;
            }
        }
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    return std::wstring(path.begin(), path.end());
}

std::wstring ProductExe() { return WindowsPath(std::getenv("CORVANE_X86_EXE")); }
std::wstring TwinExe() { return WindowsPath(std::getenv("CORVANE_EXE")); }

Bytes ReadFileBytes(const std::wstring& path)
{
    Bytes bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
            read != bytes.size())
            bytes.clear();
    }
    ::CloseHandle(file);
    return bytes;
}

// ---------------------------------------------------------------------------
// Bounds-checked little-endian reading

class Reader {
public:
    Reader(const BYTE* data, size_t size, std::string what) : data_(data), size_(size), what_(std::move(what)) {}

    size_t pos() const { return pos_; }
    size_t size() const { return size_; }
    void seek(size_t pos)
    {
        if (pos > size_)
            Fail("seek past the end", pos);
        pos_ = pos;
    }

    template <class T>
    T Get()
    {
        if (pos_ + sizeof(T) > size_)
            Fail("read past the end", pos_);
        T value;
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }

    template <class T>
    T At(size_t pos) const
    {
        if (pos + sizeof(T) > size_)
            Fail("read past the end", pos);
        T value;
        std::memcpy(&value, data_ + pos, sizeof(T));
        return value;
    }

    std::wstring WideString()
    {
        std::wstring s;
        for (WCHAR c; (c = Get<WCHAR>()) != 0;)
            s += c;
        return s;
    }

    std::string AnsiStringAt(size_t pos) const
    {
        std::string s;
        for (char c; (c = At<char>(pos)) != 0; ++pos)
            s += c;
        return s;
    }

    // Skips to the next 32-bit boundary; the fill bytes must be zero.
    void Align4()
    {
        while (pos_ % 4 != 0) {
            if (Get<BYTE>() != 0)
                Fail("non-zero fill byte", pos_ - 1);
        }
    }

    [[noreturn]] void Fail(const char* why, size_t pos) const
    {
        std::ostringstream os;
        os << what_ << ": " << why << " at offset " << pos << " (size " << size_ << ")";
        throw std::runtime_error(os.str());
    }

private:
    const BYTE* data_;
    size_t size_;
    std::string what_;
    size_t pos_ = 0;
};

// ---------------------------------------------------------------------------
// The 32-bit PE image, from the file's bytes

struct Pe32 {
    Bytes file;
    WORD machine = 0;
    WORD characteristics = 0;
    WORD magic = 0;
    WORD subsystem = 0;
    DWORD imageBase = 0;
    struct Section {
        DWORD va, vsize, rawOffset, rawSize;
    };
    std::vector<Section> sections;
    DWORD dirRva[16] = {};
    DWORD dirSize[16] = {};

    size_t RvaToOffset(DWORD rva) const
    {
        for (const Section& s : sections) {
            const DWORD extent = std::max(s.vsize, s.rawSize);
            if (rva >= s.va && rva < s.va + extent && rva - s.va < s.rawSize)
                return s.rawOffset + (rva - s.va);
        }
        std::ostringstream os;
        os << "RVA 0x" << std::hex << rva << " lies in no section's file data";
        throw std::runtime_error(os.str());
    }
};

Pe32 ParsePe32(Bytes file)
{
    Pe32 pe;
    pe.file = std::move(file);
    Reader r(pe.file.data(), pe.file.size(), "PE file");
    if (r.At<WORD>(0) != IMAGE_DOS_SIGNATURE)
        r.Fail("no MZ signature", 0);
    const size_t nt = r.At<DWORD>(0x3C);
    if (r.At<DWORD>(nt) != IMAGE_NT_SIGNATURE)
        r.Fail("no PE signature", nt);
    const size_t fileHeader = nt + 4;
    pe.machine = r.At<WORD>(fileHeader + 0);
    const WORD sectionCount = r.At<WORD>(fileHeader + 2);
    const WORD optionalSize = r.At<WORD>(fileHeader + 16);
    pe.characteristics = r.At<WORD>(fileHeader + 18);
    const size_t opt = fileHeader + 20;
    pe.magic = r.At<WORD>(opt + 0);
    if (pe.magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        pe.imageBase = r.At<DWORD>(opt + 28);
        pe.subsystem = r.At<WORD>(opt + 68);
        const DWORD dirCount = std::min<DWORD>(r.At<DWORD>(opt + 92), 16);
        for (DWORD i = 0; i < dirCount; ++i) {
            pe.dirRva[i] = r.At<DWORD>(opt + 96 + 8 * i);
            pe.dirSize[i] = r.At<DWORD>(opt + 96 + 8 * i + 4);
        }
    }
    const size_t sectionTable = opt + optionalSize;
    for (WORD i = 0; i < sectionCount; ++i) {
        const size_t s = sectionTable + 40 * i;
        pe.sections.push_back({r.At<DWORD>(s + 12), r.At<DWORD>(s + 8), r.At<DWORD>(s + 20), r.At<DWORD>(s + 16)});
    }
    return pe;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Imported DLLs (lower case) and, for each, the functions imported by name.
// Ordinal imports are listed as "#n". Delay-loaded DLLs are included.
std::map<std::string, std::set<std::string>> Imports32(const Pe32& pe)
{
    std::map<std::string, std::set<std::string>> imports;
    Reader r(pe.file.data(), pe.file.size(), "import table");

    auto readThunks = [&](std::set<std::string>& names, size_t thunkOffset) {
        for (;; thunkOffset += 4) {
            const DWORD thunk = r.At<DWORD>(thunkOffset);
            if (thunk == 0)
                break;
            if (thunk & IMAGE_ORDINAL_FLAG32)
                names.insert("#" + std::to_string(thunk & 0xFFFF));
            else
                names.insert(r.AnsiStringAt(pe.RvaToOffset(thunk) + 2));  // after the hint
        }
    };

    if (pe.dirSize[IMAGE_DIRECTORY_ENTRY_IMPORT] != 0) {
        for (size_t d = pe.RvaToOffset(pe.dirRva[IMAGE_DIRECTORY_ENTRY_IMPORT]);; d += 20) {
            const DWORD lookup = r.At<DWORD>(d + 0);
            const DWORD name = r.At<DWORD>(d + 12);
            const DWORD iat = r.At<DWORD>(d + 16);
            if (lookup == 0 && name == 0 && iat == 0)
                break;
            auto& names = imports[Lower(r.AnsiStringAt(pe.RvaToOffset(name)))];
            readThunks(names, pe.RvaToOffset(lookup != 0 ? lookup : iat));
        }
    }
    if (pe.dirSize[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT] != 0) {
        for (size_t d = pe.RvaToOffset(pe.dirRva[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT]);; d += 32) {
            const DWORD attributes = r.At<DWORD>(d + 0);
            const DWORD name = r.At<DWORD>(d + 4);
            const DWORD lookup = r.At<DWORD>(d + 16);
            if (name == 0)
                break;
            const DWORD bias = (attributes & 1) ? 0 : pe.imageBase;  // old descriptors hold VAs
            auto& names = imports[Lower(r.AnsiStringAt(pe.RvaToOffset(name - bias)))];
            if (lookup != 0)
                readThunks(names, pe.RvaToOffset(lookup - bias));
        }
    }
    return imports;
}

// ---------------------------------------------------------------------------
// Resources through the loader

class DataModule {
public:
    explicit DataModule(const std::wstring& path)
        : handle_(path.empty() ? nullptr
                               : ::LoadLibraryExW(path.c_str(), nullptr,
                                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)),
          error_(handle_ ? 0 : ::GetLastError())
    {
    }
    ~DataModule()
    {
        if (handle_)
            ::FreeLibrary(handle_);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    HMODULE get() const { return handle_; }
    DWORD error() const { return error_; }

private:
    HMODULE handle_;
    DWORD error_;
};

// The resource's bytes, or nothing when the module has no such resource in
// exactly that language.
bool FindExact(HMODULE module, LPCWSTR type, WORD id, WORD lang, Bytes& out)
{
    out.clear();
    HRSRC found = ::FindResourceExW(module, type, MAKEINTRESOURCEW(id), lang);
    if (found == nullptr)
        return false;
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (data == nullptr)
        return false;
    out.assign(data, data + size);
    return true;
}

std::string ResName(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return "\"" + Narrow(name) + "\"";
}

using ResourceKey = std::tuple<std::string, std::string, WORD>;  // type, name, language

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD lang, LONG_PTR param)
{
    reinterpret_cast<std::set<ResourceKey>*>(param)->insert({ResName(type), ResName(name), lang});
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param)
{
    ::EnumResourceLanguagesW(module, type, name, OnLanguage, param);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR param)
{
    ::EnumResourceNamesW(module, type, OnName, param);
    return TRUE;
}

std::set<ResourceKey> AllResources(HMODULE module)
{
    std::set<ResourceKey> all;
    ::EnumResourceTypesW(module, OnType, reinterpret_cast<LONG_PTR>(&all));
    return all;
}

std::string Describe(const ResourceKey& key)
{
    static const std::map<std::string, std::string> typeNames = {
        {"1", "RT_CURSOR"}, {"2", "RT_BITMAP"}, {"3", "RT_ICON"}, {"4", "RT_MENU"}, {"5", "RT_DIALOG"},
        {"6", "RT_STRING"}, {"9", "RT_ACCELERATOR"}, {"12", "RT_GROUP_CURSOR"}, {"14", "RT_GROUP_ICON"},
        {"16", "RT_VERSION"}, {"24", "RT_MANIFEST"}};
    const auto it = typeNames.find(std::get<0>(key));
    return (it != typeNames.end() ? it->second : "type " + std::get<0>(key)) + " " + std::get<1>(key) +
           " language " + std::to_string(std::get<2>(key));
}

#define ASSERT_MODULE_LOADED(module, path)                                                      \
    ASSERT_FALSE((path).empty()) << "the path of the executable is not in the environment";     \
    ASSERT_NE((module).get(), nullptr) << "LoadLibraryExW as data file failed for " << Narrow(path) \
                                       << ", error " << (module).error()

constexpr WORD kEnglish = 1033;
constexpr WORD kJapanese = 1041;

// ===========================================================================
// The PE file

TEST(ArtifactPe, IsA32BitGuiProgramForI386)
{
    const std::wstring path = ProductExe();
    ASSERT_FALSE(path.empty()) << "CORVANE_X86_EXE is not set";
    Bytes file = ReadFileBytes(path);
    ASSERT_FALSE(file.empty()) << "cannot read " << Narrow(path);
    const Pe32 pe = ParsePe32(std::move(file));

    EXPECT_EQ(pe.machine, IMAGE_FILE_MACHINE_I386) << "machine";
    EXPECT_EQ(pe.magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC) << "optional header magic (0x10b is PE32)";
    EXPECT_EQ(pe.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI) << "subsystem";
    EXPECT_EQ(pe.characteristics & IMAGE_FILE_DLL, 0) << "the image is marked as a DLL";
    EXPECT_NE(pe.characteristics & IMAGE_FILE_EXECUTABLE_IMAGE, 0) << "the image is not marked executable";
    EXPECT_NE(pe.characteristics & IMAGE_FILE_32BIT_MACHINE, 0) << "the image is not marked 32-bit";
}

TEST(ArtifactPe, ImportsOnlySystemDlls)
{
    const std::wstring path = ProductExe();
    ASSERT_FALSE(path.empty()) << "CORVANE_X86_EXE is not set";
    const Pe32 pe = ParsePe32(ReadFileBytes(path));
    ASSERT_EQ(pe.magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    const auto imports = Imports32(pe);

    static const std::set<std::string> systemDlls = {
        "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "comctl32.dll", "msvcrt.dll",
        "advapi32.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll", "version.dll", "uxtheme.dll"};
    ASSERT_TRUE(imports.count("kernel32.dll")) << "no import of KERNEL32 found: the import table was not read";
    for (const auto& [dll, functions] : imports) {
        const bool system = systemDlls.count(dll) != 0 || dll.rfind("api-ms-win-", 0) == 0;
        EXPECT_TRUE(system) << "imports " << dll << ", which is not a system DLL (" << functions.size()
                            << " functions); the program must be linked statically";
    }
}

TEST(ArtifactPe, ImportsTheSystemFunctionsTheProgramCalls)
{
    const std::wstring path = ProductExe();
    ASSERT_FALSE(path.empty()) << "CORVANE_X86_EXE is not set";
    const Pe32 pe = ParsePe32(ReadFileBytes(path));
    ASSERT_EQ(pe.magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    const auto imports = Imports32(pe);

    static const struct {
        const char* dll;
        const char* function;
    } needed[] = {
        {"comctl32.dll", "InitCommonControlsEx"}, {"comctl32.dll", "PropertySheetW"},
        {"shell32.dll", "ShellExecuteW"},         {"user32.dll", "LoadIconW"},
        {"user32.dll", "LoadCursorW"},            {"user32.dll", "SetCursor"},
        {"user32.dll", "MessageBoxW"},            {"user32.dll", "PostMessageW"},
        {"gdi32.dll", "CreateFontIndirectW"},     {"kernel32.dll", "GetModuleHandleW"},
        {"kernel32.dll", "GetProcAddress"},       {"kernel32.dll", "FormatMessageW"},
    };
    for (const auto& n : needed) {
        const auto dll = imports.find(n.dll);
        ASSERT_NE(dll, imports.end()) << n.dll << " is not imported (needed for " << n.function << ")";
        EXPECT_TRUE(dll->second.count(n.function)) << n.function << " is not imported by name from " << n.dll;
    }

    // The word-size query is looked up at run time, so that the program also
    // starts on a Windows whose KERNEL32 lacks it.
    for (const auto& [dll, functions] : imports)
        EXPECT_FALSE(functions.count("IsWow64Process")) << "IsWow64Process is imported statically from " << dll;
}

// ===========================================================================
// The resource table

TEST(ArtifactResources, ModuleHoldsExactlyTheProgramsOwnResources)
{
    const std::wstring path = ProductExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);

    const std::string dialog = "5", bitmap = "2", groupIcon = "14", icon = "3", groupCursor = "12",
                      cursor = "1", manifest = "24", version = "16";
    std::set<ResourceKey> expected = {
        {dialog, "102", kEnglish},     {groupIcon, "135", kJapanese}, {icon, "1", kJapanese},
        {groupCursor, "143", kJapanese}, {cursor, "2", kJapanese},    {cursor, "3", kJapanese},
        {manifest, "1", kEnglish},     {version, "1", kEnglish},
    };
    for (int id = 129; id <= 133; ++id) {
        expected.insert({dialog, std::to_string(id), kEnglish});
        expected.insert({dialog, std::to_string(id), kJapanese});
    }
    for (int id = 138; id <= 142; ++id)
        expected.insert({bitmap, std::to_string(id), kJapanese});

    const std::set<ResourceKey> actual = AllResources(module.get());
    for (const ResourceKey& key : expected)
        EXPECT_TRUE(actual.count(key)) << "missing: " << Describe(key);
    for (const ResourceKey& key : actual)
        EXPECT_TRUE(expected.count(key)) << "unexpected: " << Describe(key);
    EXPECT_EQ(actual.size(), expected.size());
}

// ===========================================================================
// Dialog templates (DLGTEMPLATEEX with DLGITEMTEMPLATEEX items)

// A name-or-ordinal field: none, an ordinal, or a string.
struct SzOrOrd {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::wstring text;

    static SzOrOrd None() { return {}; }
    static SzOrOrd Ord(WORD id) { return {true, id, {}}; }
    static SzOrOrd Str(std::wstring s) { return {false, 0, std::move(s)}; }
    bool operator==(const SzOrOrd&) const = default;
};

std::ostream& operator<<(std::ostream& os, const SzOrOrd& v)
{
    if (v.isOrdinal) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%04X", v.ordinal);
        return os << "ordinal " << buf;
    }
    if (v.text.empty())
        return os << "none";
    return os << "\"" << Narrow(v.text) << "\"";
}

SzOrOrd ReadSzOrOrd(Reader& r)
{
    const WORD first = r.At<WORD>(r.pos());
    if (first == 0xFFFF) {
        r.Get<WORD>();
        return SzOrOrd::Ord(r.Get<WORD>());
    }
    return SzOrOrd::Str(r.WideString());  // a lone 0 word is the empty string: none
}

struct DlgItem {
    DWORD helpId = 0, exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    SzOrOrd windowClass, text;
    WORD creationDataSize = 0;
};

struct DlgTemplate {
    WORD version = 0, signature = 0;
    DWORD helpId = 0, exStyle = 0, style = 0;
    WORD itemCount = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    SzOrOrd menu, windowClass;
    std::wstring caption;
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::wstring face;
    std::vector<DlgItem> items;
};

DlgTemplate ParseDialogEx(const Bytes& bytes, const std::string& what)
{
    Reader r(bytes.data(), bytes.size(), what);
    DlgTemplate t;
    t.version = r.Get<WORD>();
    t.signature = r.Get<WORD>();
    if (t.version != 1 || t.signature != 0xFFFF)
        r.Fail("not a DLGTEMPLATEEX", 0);
    t.helpId = r.Get<DWORD>();
    t.exStyle = r.Get<DWORD>();
    t.style = r.Get<DWORD>();
    t.itemCount = r.Get<WORD>();
    t.x = r.Get<short>();
    t.y = r.Get<short>();
    t.cx = r.Get<short>();
    t.cy = r.Get<short>();
    t.menu = ReadSzOrOrd(r);
    t.windowClass = ReadSzOrOrd(r);
    t.caption = r.WideString();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Get<WORD>();
        t.weight = r.Get<WORD>();
        t.italic = r.Get<BYTE>();
        t.charset = r.Get<BYTE>();
        t.face = r.WideString();
    }
    for (WORD i = 0; i < t.itemCount; ++i) {
        r.Align4();
        DlgItem item;
        item.helpId = r.Get<DWORD>();
        item.exStyle = r.Get<DWORD>();
        item.style = r.Get<DWORD>();
        item.x = r.Get<short>();
        item.y = r.Get<short>();
        item.cx = r.Get<short>();
        item.cy = r.Get<short>();
        item.id = r.Get<DWORD>();
        item.windowClass = ReadSzOrOrd(r);
        item.text = ReadSzOrOrd(r);
        item.creationDataSize = r.Get<WORD>();
        if (item.creationDataSize != 0) {
            r.Align4();
            r.seek(r.pos() + item.creationDataSize);
        }
        t.items.push_back(item);
    }
    if (r.pos() != r.size())
        r.Fail("bytes left after the last control", r.pos());
    return t;
}

struct ExpectedDialog {
    WORD id;
    WORD lang;
    DlgTemplate t;
};

constexpr WORD kButton = 0x0080;
constexpr WORD kStatic = 0x0082;
constexpr DWORD kNoControlId = 0xFFFFFFFF;  // -1

std::vector<ExpectedDialog> ExpectedDialogs()
{
    std::vector<ExpectedDialog> dialogs;

    DlgTemplate host;
    host.version = 1;
    host.signature = 0xFFFF;
    host.helpId = 0;
    host.exStyle = 0x00040000;  // WS_EX_APPWINDOW
    host.style = 0x90C000C0;    // WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT
    host.itemCount = 2;
    host.x = 0, host.y = 0, host.cx = 247, host.cy = 102;
    host.menu = SzOrOrd::None();
    host.windowClass = SzOrOrd::None();
    host.caption = L"CorvaneInst";
    host.pointSize = 9, host.weight = 0, host.italic = 0, host.charset = 1;
    host.face = L"MS Shell Dlg";
    host.items = {
        {0, 0, 0x50010001, 131, 81, 50, 14, IDOK, SzOrOrd::Ord(kButton), SzOrOrd::Str(L"OK"), 0},
        {0, 0, 0x50010000, 191, 81, 50, 14, IDCANCEL, SzOrOrd::Ord(kButton), SzOrOrd::Str(L"Cancel"), 0},
    };
    dialogs.push_back({102, kEnglish, host});

    // The page layouts of the two languages.
    static const struct {
        WORD lang;
        short pageCx, pictureCx;
        short linkX, linkY, linkCx, linkCy;
    } layouts[] = {
        {kEnglish, 504, 504, 212, 260, 82, 15},
        {kJapanese, 431, 432, 177, 268, 83, 12},
    };
    for (const auto& layout : layouts) {
        for (WORD step = 1; step <= 5; ++step) {
            DlgTemplate page;
            page.version = 1;
            page.signature = 0xFFFF;
            page.helpId = 0;
            page.exStyle = 0;
            page.style = 0x40C000C8;  // WS_CHILD | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS
            page.itemCount = step == 5 ? 3 : 2;
            page.x = 0, page.y = 0, page.cx = layout.pageCx, page.cy = 283;
            page.menu = SzOrOrd::None();
            page.windowClass = SzOrOrd::None();
            page.caption = L"Step" + std::to_wstring(step);
            page.pointSize = 9, page.weight = 400, page.italic = 0, page.charset = 128;
            page.face = L"MS Shell Dlg";
            page.items = {
                // heading static, then picture static showing the page's bitmap
                {0, 0, 0x50020000, 1, 1, 177, 32, kNoControlId, SzOrOrd::Ord(kStatic),
                 SzOrOrd::Str(L"Corvane Installer"), 0},
                {0, 0, 0x5000020E, 0, 23, layout.pictureCx, 260, kNoControlId, SzOrOrd::Ord(kStatic),
                 SzOrOrd::Ord(static_cast<WORD>(137 + step)), 0},
            };
            if (step == 5)  // the web link: WS_GROUP | SS_NOTIFY | SS_CENTERIMAGE, no WS_TABSTOP
                page.items.push_back({0, 0, 0x50020300, layout.linkX, layout.linkY, layout.linkCx, layout.linkCy,
                                      1003, SzOrOrd::Ord(kStatic), SzOrOrd::Str(L"corvane.com/printer"), 0});
            dialogs.push_back({static_cast<WORD>(128 + step), layout.lang, page});
        }
    }
    return dialogs;
}

void CompareDialog(const DlgTemplate& expected, const DlgTemplate& actual, const std::string& where)
{
#define EXPECT_FIELD(field) EXPECT_EQ(actual.field, expected.field) << where << ": " #field
#define EXPECT_HEX_FIELD(field)                                                                    \
    EXPECT_EQ(actual.field, expected.field) << where << ": " #field << std::hex << " (0x" << actual.field \
                                            << ", expected 0x" << expected.field << ")"
    EXPECT_FIELD(version);
    EXPECT_HEX_FIELD(signature);
    EXPECT_FIELD(helpId);
    EXPECT_HEX_FIELD(exStyle);
    EXPECT_HEX_FIELD(style);
    EXPECT_FIELD(itemCount);
    EXPECT_FIELD(x);
    EXPECT_FIELD(y);
    EXPECT_FIELD(cx);
    EXPECT_FIELD(cy);
    EXPECT_FIELD(menu);
    EXPECT_FIELD(windowClass);
    EXPECT_FIELD(caption);
    EXPECT_FIELD(pointSize);
    EXPECT_FIELD(weight);
    EXPECT_FIELD(italic);
    EXPECT_FIELD(charset);
    EXPECT_FIELD(face);
    ASSERT_EQ(actual.items.size(), expected.items.size()) << where << ": number of controls";
    const DlgTemplate& t = actual;
    for (size_t i = 0; i < expected.items.size(); ++i) {
        const DlgItem& e = expected.items[i];
        const DlgItem& a = t.items[i];
        const std::string control = where + ", control " + std::to_string(i + 1);
#undef EXPECT_FIELD
#undef EXPECT_HEX_FIELD
#define EXPECT_ITEM(field) EXPECT_EQ(a.field, e.field) << control << ": " #field
#define EXPECT_HEX_ITEM(field) \
    EXPECT_EQ(a.field, e.field) << control << ": " #field << std::hex << " (0x" << a.field << ", expected 0x" << e.field << ")"
        EXPECT_ITEM(helpId);
        EXPECT_HEX_ITEM(exStyle);
        EXPECT_HEX_ITEM(style);
        EXPECT_ITEM(x);
        EXPECT_ITEM(y);
        EXPECT_ITEM(cx);
        EXPECT_ITEM(cy);
        EXPECT_HEX_ITEM(id);
        EXPECT_ITEM(windowClass);
        EXPECT_ITEM(text);
        EXPECT_ITEM(creationDataSize);
#undef EXPECT_ITEM
#undef EXPECT_HEX_ITEM
    }
}

TEST(ArtifactResources, DialogTemplatesHoldEveryValueInBothLanguages)
{
    const std::wstring path = ProductExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);

    const std::vector<ExpectedDialog> dialogs = ExpectedDialogs();
    ASSERT_EQ(dialogs.size(), 11u);
    for (const ExpectedDialog& d : dialogs) {
        const std::string where = "template " + std::to_string(d.id) + " language " + std::to_string(d.lang);
        Bytes bytes;
        if (!FindExact(module.get(), RT_DIALOG, d.id, d.lang, bytes)) {
            ADD_FAILURE() << where << " not found";
            continue;
        }
        try {
            CompareDialog(d.t, ParseDialogEx(bytes, where), where);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

// ===========================================================================
// Manifest

const std::string kManifest =
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
    "    <security>\r\n"
    "      <requestedPrivileges>\r\n"
    "        <requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"></requestedExecutionLevel>\r\n"
    "      </requestedPrivileges>\r\n"
    "    </security>\r\n"
    "  </trustInfo>\r\n"
    "  <dependency>\r\n"
    "    <dependentAssembly>\r\n"
    "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
    "processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"></assemblyIdentity>\r\n"
    "    </dependentAssembly>\r\n"
    "  </dependency>\r\n"
    "</assembly>";

std::string ManifestOf(HMODULE module)
{
    Bytes bytes;
    if (!FindExact(module, RT_MANIFEST, 1, kEnglish, bytes))
        return {};
    return std::string(bytes.begin(), bytes.end());
}

TEST(ArtifactResources, ManifestIsExactlyTheApplicationManifest)
{
    const std::wstring path = ProductExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);
    ASSERT_EQ(kManifest.size(), 622u);

    const std::string manifest = ManifestOf(module.get());
    ASSERT_FALSE(manifest.empty()) << "no manifest 1 in language 1033";
    EXPECT_EQ(manifest.size(), 622u);
    EXPECT_EQ(manifest.rfind("<?xml", 0), std::string::npos) << "the manifest starts with an XML declaration";
    EXPECT_NE(manifest.back(), '\n') << "the manifest ends with a line break";
    for (size_t i = 0; i < manifest.size(); ++i) {
        if (manifest[i] == '\n' && (i == 0 || manifest[i - 1] != '\r')) {
            ADD_FAILURE() << "line break without carriage return at byte " << i;
            break;
        }
    }
    EXPECT_EQ(manifest, kManifest);
}

TEST(ArtifactResources, TwinManifestDiffersOnlyInProcessorArchitecture)
{
    const std::wstring path = TwinExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);

    std::string expected = kManifest;
    const std::string x86 = "processorArchitecture=\"x86\"";
    const size_t at = expected.find(x86);
    ASSERT_NE(at, std::string::npos);
    expected.replace(at, x86.size(), "processorArchitecture=\"amd64\"");
    EXPECT_EQ(ManifestOf(module.get()), expected);
}

// ===========================================================================
// Version record (VS_VERSIONINFO)

struct VerNode {
    WORD length = 0, valueLength = 0, type = 0;
    std::wstring key;
    Bytes value;
    std::vector<VerNode> children;
};

// One node at r.pos() (32-bit aligned), with its value and its children.
VerNode ParseVerNode(Reader& r)
{
    const size_t start = r.pos();
    VerNode n;
    n.length = r.Get<WORD>();
    n.valueLength = r.Get<WORD>();
    n.type = r.Get<WORD>();
    const size_t end = start + n.length;
    if (n.length < 6 || end > r.size())
        r.Fail("node length out of range", start);
    if (n.type > 1)
        r.Fail("node type is neither binary (0) nor text (1)", start + 4);
    n.key = r.WideString();
    r.Align4();
    const size_t valueBytes = n.type == 1 ? n.valueLength * 2u : n.valueLength;
    if (r.pos() + valueBytes > end)
        r.Fail("value runs past the node's end", r.pos());
    for (size_t i = 0; i < valueBytes; ++i)
        n.value.push_back(r.Get<BYTE>());
    while (r.pos() < end) {
        r.Align4();
        if (r.pos() >= end)
            break;
        n.children.push_back(ParseVerNode(r));
    }
    if (r.pos() != end)
        r.Fail("children do not end where the node ends", r.pos());
    return n;
}

std::vector<std::wstring> Keys(const std::vector<VerNode>& nodes)
{
    std::vector<std::wstring> keys;
    for (const VerNode& n : nodes)
        keys.push_back(n.key);
    return keys;
}

std::wstring TextValue(const VerNode& n)
{
    std::wstring s;
    for (size_t i = 0; i + 1 < n.value.size(); i += 2) {
        const WCHAR c = static_cast<WCHAR>(n.value[i] | (n.value[i + 1] << 8));
        if (c == 0)
            break;
        s += c;
    }
    return s;
}

const std::vector<std::pair<std::wstring, std::wstring>> kVersionStrings = {
    {L"CompanyName", L"Corvane"},
    {L"FileVersion", L"3.0.0.0"},
    {L"InternalName", L"CorvaneInst.exe"},
    {L"OriginalFilename", L"CorvaneInst.exe"},
    {L"ProductVersion", L"3.0.0.0"},
};

void ExpectFixedFileInfo(const VS_FIXEDFILEINFO& f, const char* source)
{
    EXPECT_EQ(f.dwSignature, 0xFEEF04BDu) << source << ": signature";
    EXPECT_EQ(f.dwStrucVersion, 0x00010000u) << source << ": structure version";
    EXPECT_EQ(f.dwFileVersionMS, 0x00030000u) << source << ": file version, high part (3.0)";
    EXPECT_EQ(f.dwFileVersionLS, 0x00000000u) << source << ": file version, low part (.0.0)";
    EXPECT_EQ(f.dwProductVersionMS, 0x00030000u) << source << ": product version, high part (3.0)";
    EXPECT_EQ(f.dwProductVersionLS, 0x00000000u) << source << ": product version, low part (.0.0)";
    EXPECT_EQ(f.dwFileFlagsMask, 0x3Fu) << source << ": flags mask";
    EXPECT_EQ(f.dwFileFlags, 0u) << source << ": flags";
    EXPECT_EQ(f.dwFileOS, 0x4u) << source << ": operating system (VOS__WINDOWS32)";
    EXPECT_EQ(f.dwFileType, 0x1u) << source << ": file type (VFT_APP)";
    EXPECT_EQ(f.dwFileSubtype, 0u) << source << ": file subtype";
    EXPECT_EQ(f.dwFileDateMS, 0u) << source << ": file date, high part";
    EXPECT_EQ(f.dwFileDateLS, 0u) << source << ": file date, low part";
}

TEST(ArtifactResources, VersionRecordHoldsExactlyTheProductVersionValues)
{
    const std::wstring path = ProductExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);
    Bytes bytes;
    ASSERT_TRUE(FindExact(module.get(), RT_VERSION, 1, kEnglish, bytes)) << "no version record 1 in language 1033";
    EXPECT_EQ(bytes.size(), 504u) << "size of the version resource";

    Reader r(bytes.data(), bytes.size(), "version record");
    const VerNode root = ParseVerNode(r);
    EXPECT_EQ(root.length, bytes.size()) << "the root's length is not the resource's size";
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    EXPECT_EQ(root.type, 0);
    ASSERT_EQ(root.valueLength, sizeof(VS_FIXEDFILEINFO));
    ASSERT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, root.value.data(), sizeof fixed);
    ExpectFixedFileInfo(fixed, "VS_FIXEDFILEINFO");

    ASSERT_EQ(Keys(root.children), (std::vector<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));
    const VerNode& stringFileInfo = root.children[0];
    const VerNode& varFileInfo = root.children[1];
    EXPECT_EQ(stringFileInfo.valueLength, 0) << "StringFileInfo has a value";
    EXPECT_EQ(varFileInfo.valueLength, 0) << "VarFileInfo has a value";

    ASSERT_EQ(Keys(stringFileInfo.children), (std::vector<std::wstring>{L"040904e4"}));
    const VerNode& table = stringFileInfo.children[0];
    EXPECT_EQ(table.valueLength, 0) << "string table 040904e4 has a value";
    std::vector<std::wstring> expectedKeys;
    for (const auto& [key, value] : kVersionStrings)
        expectedKeys.push_back(key);
    ASSERT_EQ(Keys(table.children), expectedKeys) << "the string table's keys, in order";
    for (size_t i = 0; i < kVersionStrings.size(); ++i) {
        const VerNode& entry = table.children[i];
        const std::wstring& expected = kVersionStrings[i].second;
        EXPECT_EQ(entry.type, 1) << Narrow(entry.key) << " is not text";
        EXPECT_EQ(TextValue(entry), expected) << Narrow(entry.key);
        EXPECT_EQ(entry.valueLength, expected.size() + 1)
            << Narrow(entry.key) << ": value length in characters, terminating zero included";
    }

    ASSERT_EQ(Keys(varFileInfo.children), (std::vector<std::wstring>{L"Translation"}));
    const VerNode& translation = varFileInfo.children[0];
    EXPECT_EQ(translation.type, 0) << "Translation is not binary";
    EXPECT_TRUE(translation.children.empty());
    EXPECT_EQ(translation.value, (Bytes{0x09, 0x04, 0xE4, 0x04})) << "Translation: 0x0409, 0x04E4";
}

TEST(ArtifactResources, VersionApiReadsTheSameValues)
{
    const std::wstring path = ProductExe();
    ASSERT_FALSE(path.empty()) << "CORVANE_X86_EXE is not set";
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GE(size, 504u) << "GetFileVersionInfoSizeW, error " << ::GetLastError();
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    ExpectFixedFileInfo(*static_cast<const VS_FIXEDFILEINFO*>(value), "VerQueryValueW(\\)");

    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0409);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 0x04E4);

    for (const auto& [key, expected] : kVersionStrings) {
        const std::wstring query = L"\\StringFileInfo\\040904e4\\" + key;
        if (!::VerQueryValueW(info.data(), query.c_str(), &value, &length)) {
            ADD_FAILURE() << "VerQueryValueW finds no " << Narrow(key);
            continue;
        }
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)), expected) << Narrow(key);
    }
    EXPECT_FALSE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\CompanyName", &value, &length))
        << "a second string table, 040904b0";
}

// ===========================================================================
// Artwork: bitmaps, icon and cursor

struct InfoHeader {
    DWORD size;
    LONG width, height;
    WORD planes, bitCount;
    DWORD compression, sizeImage;
    LONG xPelsPerMeter, yPelsPerMeter;
    DWORD clrUsed, clrImportant;
};
static_assert(sizeof(InfoHeader) == 40);

InfoHeader InfoHeaderAt(const Bytes& bytes, size_t offset)
{
    InfoHeader h{};
    if (offset + sizeof h > bytes.size())
        throw std::runtime_error("no room for a BITMAPINFOHEADER");
    std::memcpy(&h, bytes.data() + offset, sizeof h);
    return h;
}

TEST(ArtifactResources, ArtworkResourcesHaveTheirByteCounts)
{
    const std::wstring path = ProductExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);

    static const struct {
        LPCWSTR type;
        const char* typeName;
        WORD id;
        DWORD size;
    } expected[] = {
        {RT_BITMAP, "bitmap", 138, 957136},     {RT_BITMAP, "bitmap", 139, 957136},
        {RT_BITMAP, "bitmap", 140, 957136},     {RT_BITMAP, "bitmap", 141, 957136},
        {RT_BITMAP, "bitmap", 142, 957136},     {RT_GROUP_ICON, "group icon", 135, 6 + 14},
        {RT_ICON, "icon", 1, 4600},             {RT_GROUP_CURSOR, "group cursor", 143, 6 + 2 * 14},
        {RT_CURSOR, "cursor", 2, 9644},         {RT_CURSOR, "cursor", 3, 4268},
    };
    for (const auto& e : expected) {
        Bytes bytes;
        if (!FindExact(module.get(), e.type, e.id, kJapanese, bytes)) {
            ADD_FAILURE() << e.typeName << " " << e.id << " not found in language 1041";
            continue;
        }
        EXPECT_EQ(bytes.size(), e.size) << e.typeName << " " << e.id << ": size in bytes";
    }
}

TEST(ArtifactResources, PageBitmapsAre756By422TrueColourWithoutFileHeader)
{
    const std::wstring path = ProductExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);

    for (WORD id = 138; id <= 142; ++id) {
        const std::string where = "bitmap " + std::to_string(id);
        Bytes bytes;
        if (!FindExact(module.get(), RT_BITMAP, id, kJapanese, bytes) || bytes.size() < 40) {
            ADD_FAILURE() << where << " not found in language 1041";
            continue;
        }
        const InfoHeader h = InfoHeaderAt(bytes, 0);
        EXPECT_EQ(h.size, 40u) << where << ": header size (a file header would start with \"BM\")";
        EXPECT_EQ(h.width, 756) << where << ": width";
        EXPECT_EQ(h.height, 422) << where << ": height (positive: rows bottom-up)";
        EXPECT_EQ(h.planes, 1) << where << ": planes";
        EXPECT_EQ(h.bitCount, 24) << where << ": bits per pixel";
        EXPECT_EQ(h.compression, static_cast<DWORD>(BI_RGB)) << where << ": compression";
        EXPECT_EQ(h.sizeImage, 957096u) << where << ": image size";
        EXPECT_EQ(h.xPelsPerMeter, 0) << where << ": horizontal resolution";
        EXPECT_EQ(h.yPelsPerMeter, 0) << where << ": vertical resolution";
        EXPECT_EQ(h.clrUsed, 0u) << where << ": colours used";
        EXPECT_EQ(h.clrImportant, 0u) << where << ": important colours";
        EXPECT_EQ(bytes.size(), 40u + h.sizeImage) << where << ": pixels do not follow the header directly";
    }
}

#pragma pack(push, 2)
struct GroupHeader {
    WORD reserved, type, count;
};
struct IconGroupEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
struct CursorGroupEntry {
    WORD width, height;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(IconGroupEntry) == 14 && sizeof(CursorGroupEntry) == 14);

template <class Entry>
std::vector<Entry> GroupEntries(const Bytes& bytes, WORD expectedType, const std::string& where)
{
    GroupHeader header{};
    if (bytes.size() < sizeof header)
        throw std::runtime_error(where + ": too short for a group header");
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(header.reserved, 0) << where << ": reserved";
    EXPECT_EQ(header.type, expectedType) << where << ": type (1 icon, 2 cursor)";
    if (sizeof header + header.count * sizeof(Entry) != bytes.size())
        throw std::runtime_error(where + ": size does not match the entry count " + std::to_string(header.count));
    std::vector<Entry> entries(header.count);
    std::memcpy(entries.data(), bytes.data() + sizeof header, header.count * sizeof(Entry));
    return entries;
}

TEST(ArtifactResources, IconIsOneOpaque48By30Image)
{
    const std::wstring path = ProductExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);

    Bytes group;
    ASSERT_TRUE(FindExact(module.get(), RT_GROUP_ICON, 135, kJapanese, group)) << "group icon 135";
    const auto entries = GroupEntries<IconGroupEntry>(group, 1, "group icon 135");
    ASSERT_EQ(entries.size(), 1u) << "group icon 135: number of images";
    const IconGroupEntry& e = entries[0];
    EXPECT_EQ(e.width, 48);
    EXPECT_EQ(e.height, 30);
    EXPECT_EQ(e.colorCount, 0);
    EXPECT_EQ(e.reserved, 0);
    EXPECT_EQ(e.planes, 1);
    EXPECT_EQ(e.bitCount, 24);
    EXPECT_EQ(e.bytesInRes, 4600u);
    EXPECT_EQ(e.id, 1);

    Bytes image;
    ASSERT_TRUE(FindExact(module.get(), RT_ICON, 1, kJapanese, image)) << "icon 1";
    ASSERT_EQ(image.size(), 4600u);
    const InfoHeader h = InfoHeaderAt(image, 0);
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 48);
    EXPECT_EQ(h.height, 60) << "colour and mask rows together";
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitCount, 24);
    EXPECT_EQ(h.compression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h.sizeImage, 4560u);
    // 30 rows of 144 colour bytes, then the AND mask: 30 rows of 8 bytes, all clear.
    const size_t mask = 40 + 30 * 144;
    ASSERT_EQ(mask + 30 * 8, image.size());
    const auto setMaskBytes = std::count_if(image.begin() + mask, image.end(), [](BYTE b) { return b != 0; });
    EXPECT_EQ(setMaskBytes, 0) << "the icon's AND mask makes some pixels transparent";
}

TEST(ArtifactResources, HandCursorHasTwoImagesWithTheirHotSpots)
{
    const std::wstring path = ProductExe();
    DataModule module(path);
    ASSERT_MODULE_LOADED(module, path);

    Bytes group;
    ASSERT_TRUE(FindExact(module.get(), RT_GROUP_CURSOR, 143, kJapanese, group)) << "group cursor 143";
    const auto entries = GroupEntries<CursorGroupEntry>(group, 2, "group cursor 143");

    static const struct {
        WORD id;
        WORD size;
        DWORD bytes;
        WORD hotX, hotY;
    } expected[] = {{2, 48, 9644, 9, 0}, {3, 32, 4268, 4, 0}};
    ASSERT_EQ(entries.size(), std::size(expected)) << "group cursor 143: number of images";

    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& x = expected[i];
        const CursorGroupEntry& e = entries[i];
        const std::string where = "group cursor 143, entry " + std::to_string(i + 1);
        EXPECT_EQ(e.width, x.size) << where << ": width";
        EXPECT_EQ(e.height, 2 * x.size) << where << ": height (doubled)";
        EXPECT_EQ(e.planes, 1) << where << ": planes";
        EXPECT_EQ(e.bitCount, 32) << where << ": bits per pixel";
        EXPECT_EQ(e.bytesInRes, x.bytes) << where << ": bytes";
        EXPECT_EQ(e.id, x.id) << where << ": image";

        const std::string image = "cursor " + std::to_string(x.id);
        Bytes bytes;
        if (!FindExact(module.get(), RT_CURSOR, x.id, kJapanese, bytes)) {
            ADD_FAILURE() << image << " not found in language 1041";
            continue;
        }
        ASSERT_EQ(bytes.size(), x.bytes) << image << ": size";
        Reader r(bytes.data(), bytes.size(), image);
        EXPECT_EQ(r.Get<WORD>(), x.hotX) << image << ": hot spot x";
        EXPECT_EQ(r.Get<WORD>(), x.hotY) << image << ": hot spot y";
        const InfoHeader h = InfoHeaderAt(bytes, 4);
        EXPECT_EQ(h.size, 40u) << image;
        EXPECT_EQ(h.width, x.size) << image << ": width";
        EXPECT_EQ(h.height, 2 * x.size) << image << ": height (doubled)";
        EXPECT_EQ(h.planes, 1) << image << ": planes";
        EXPECT_EQ(h.bitCount, 32) << image << ": bits per pixel";
        EXPECT_EQ(h.compression, static_cast<DWORD>(BI_RGB)) << image << ": compression";
        EXPECT_EQ(h.sizeImage, 0u) << image << ": image size field";

        // BGRA rows, then the AND mask (rows padded to 32 bits), set exactly where alpha is 0.
        const size_t colour = 4 + 40;
        const size_t maskStride = ((x.size + 31) / 32) * 4;
        const size_t mask = colour + size_t{x.size} * x.size * 4;
        ASSERT_EQ(mask + maskStride * x.size, bytes.size()) << image << ": layout";
        size_t mismatches = 0, transparent = 0;
        for (size_t row = 0; row < x.size; ++row) {
            for (size_t col = 0; col < x.size; ++col) {
                const BYTE alpha = bytes[colour + (row * x.size + col) * 4 + 3];
                const bool maskBit = (bytes[mask + row * maskStride + col / 8] >> (7 - col % 8)) & 1;
                transparent += alpha == 0;
                mismatches += maskBit != (alpha == 0);
            }
        }
        EXPECT_EQ(mismatches, 0u) << image << ": pixels whose mask bit disagrees with alpha 0";
        EXPECT_GT(transparent, 0u) << image << ": no transparent pixel around the hand";
    }
}

}  // namespace
