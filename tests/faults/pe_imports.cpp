#include "tests/faults/pe_imports.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "tests/support/test_files.h"

namespace faults {

namespace {

// The file's bytes with the mapping of section addresses to file offsets.
class PeFile {
public:
    explicit PeFile(std::string bytes) : bytes_(std::move(bytes)) {}

    template <typename T>
    const T* at(std::size_t offset) const {
        return offset + sizeof(T) <= bytes_.size()
                   ? reinterpret_cast<const T*>(bytes_.data() + offset)
                   : nullptr;
    }
    // The file offset of an address relative to the image, or 0.
    std::size_t offsetOf(DWORD rva) const {
        for (const IMAGE_SECTION_HEADER* section : sections_) {
            if (rva >= section->VirtualAddress &&
                rva < section->VirtualAddress + section->SizeOfRawData)
                return rva - section->VirtualAddress + section->PointerToRawData;
        }
        return 0;
    }
    std::string textAt(DWORD rva) const {
        const std::size_t offset = offsetOf(rva);
        if (offset == 0 || offset >= bytes_.size()) return {};
        return std::string(bytes_.data() + offset, strnlen(bytes_.data() + offset,
                                                           bytes_.size() - offset));
    }
    void addSection(const IMAGE_SECTION_HEADER* section) { sections_.push_back(section); }

private:
    std::string bytes_;
    std::vector<const IMAGE_SECTION_HEADER*> sections_;
};

std::string dllStem(std::string file) {
    file = file.substr(0, file.find('.'));
    for (char& c : file) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return file;
}

// The import names of one descriptor; the thunk width is the image's
// pointer width.
template <typename Thunk>
void namesOf(const PeFile& pe, const IMAGE_IMPORT_DESCRIPTOR& import, std::vector<Import>& out) {
    const std::string dll = dllStem(pe.textAt(import.Name));
    DWORD rva = import.OriginalFirstThunk ? import.OriginalFirstThunk : import.FirstThunk;
    for (const Thunk* thunk; (thunk = pe.at<Thunk>(pe.offsetOf(rva))) && thunk->u1.AddressOfData;
         rva += sizeof(Thunk)) {
        const bool byOrdinal = (thunk->u1.Ordinal >> (sizeof(thunk->u1.Ordinal) * 8 - 1)) != 0;
        out.push_back({dll, byOrdinal ? std::string()
                                      : pe.textAt(static_cast<DWORD>(thunk->u1.AddressOfData) + 2)});
    }
}

template <typename Headers, typename Thunk>
std::vector<Import> importsOfImage(PeFile& pe, std::size_t headersOffset) {
    std::vector<Import> imports;
    const Headers* nt = pe.at<Headers>(headersOffset);
    if (nt == nullptr) return imports;
    const std::size_t sections = headersOffset + offsetof(Headers, OptionalHeader) +
                                 nt->FileHeader.SizeOfOptionalHeader;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
        const auto* section = pe.at<IMAGE_SECTION_HEADER>(sections + i * sizeof(IMAGE_SECTION_HEADER));
        if (section == nullptr) return imports;
        pe.addSection(section);
    }
    DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (const IMAGE_IMPORT_DESCRIPTOR* import;
         rva != 0 && (import = pe.at<IMAGE_IMPORT_DESCRIPTOR>(pe.offsetOf(rva))) && import->Name;
         rva += sizeof(IMAGE_IMPORT_DESCRIPTOR))
        namesOf<Thunk>(pe, *import, imports);
    return imports;
}

}  // namespace

std::vector<Import> importsOf(const std::string& path) {
    PeFile pe(norvale::testbed::readWholeFile(path).value_or(""));
    const auto* dos = pe.at<IMAGE_DOS_HEADER>(0);
    if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return {};
    const auto* magic = pe.at<WORD>(dos->e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader));
    if (magic == nullptr) return {};
    if (*magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return importsOfImage<IMAGE_NT_HEADERS64, IMAGE_THUNK_DATA64>(pe, dos->e_lfanew);
    return importsOfImage<IMAGE_NT_HEADERS32, IMAGE_THUNK_DATA32>(pe, dos->e_lfanew);
}

}  // namespace faults
