// The dynamic symbols of the built libraries, read from their ELF files: the
// library offers the functions its headers declare and nothing else, the log
// relay its descriptor alone, and both can be unloaded again.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "logging/RelayInterface.h"

namespace {

struct DynamicSymbol {
    std::string name;
    unsigned binding;
    unsigned type;
};

std::vector<char> ReadFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A record of type T at offset, or null when it does not lie wholly inside the file.
template <class T>
const T *At(const std::vector<char> &file, uint64_t offset) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) return nullptr;
    return reinterpret_cast<const T *>(file.data() + offset);
}

// The symbols a 64-bit ELF file defines in its dynamic symbol table with a
// binding other than local; empty (and a test failure) when it has none.
std::vector<DynamicSymbol> DefinedDynamicSymbols(const std::string &path) {
    const std::vector<char> file = ReadFile(path);
    const auto *header = At<Elf64_Ehdr>(file, 0);
    if (header == nullptr || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
        header->e_ident[EI_CLASS] != ELFCLASS64) {
        ADD_FAILURE() << path << " is no 64-bit ELF file";
        return {};
    }
    std::vector<DynamicSymbol> symbols;
    for (uint16_t s = 0; s < header->e_shnum; ++s) {
        const auto *section = At<Elf64_Shdr>(file, header->e_shoff + uint64_t{s} * sizeof(Elf64_Shdr));
        if (section == nullptr || section->sh_type != SHT_DYNSYM || section->sh_entsize != sizeof(Elf64_Sym)) continue;
        const auto *names = At<Elf64_Shdr>(file, header->e_shoff + uint64_t{section->sh_link} * sizeof(Elf64_Shdr));
        if (names == nullptr || names->sh_offset > file.size()) continue;
        const uint64_t namesSize = std::min<uint64_t>(names->sh_size, file.size() - names->sh_offset);
        for (uint64_t i = 1; i < section->sh_size / sizeof(Elf64_Sym); ++i) {
            const auto *symbol = At<Elf64_Sym>(file, section->sh_offset + i * sizeof(Elf64_Sym));
            if (symbol == nullptr || symbol->st_shndx == SHN_UNDEF || ELF64_ST_BIND(symbol->st_info) == STB_LOCAL)
                continue;
            if (symbol->st_name >= namesSize) continue;
            const char *name = file.data() + names->sh_offset + symbol->st_name;
            symbols.push_back({std::string(name, strnlen(name, namesSize - symbol->st_name)),
                               ELF64_ST_BIND(symbol->st_info), ELF64_ST_TYPE(symbol->st_info)});
        }
    }
    EXPECT_FALSE(symbols.empty()) << path;
    return symbols;
}

// The name a declaration line gives the function it declares: the word before its first "(".
std::string DeclaredName(const std::string &line) {
    size_t end = line.find('(');
    while (end != std::string::npos && end > 0 && line[end - 1] == ' ') --end;
    size_t begin = end;
    while (begin != std::string::npos && begin > 0 && (std::isalnum(static_cast<unsigned char>(line[begin - 1])) ||
                                                       line[begin - 1] == '_'))
        --begin;
    return end == std::string::npos ? std::string() : line.substr(begin, end - begin);
}

// The names of the functions the headers declare with NOX_API.
std::set<std::string> DeclaredFunctions(std::initializer_list<const char *> headerPaths) {
    std::set<std::string> names;
    for (const char *path : headerPaths) {
        std::ifstream header(path);
        for (std::string line; std::getline(header, line);)
            if (line.rfind("NOX_API ", 0) == 0) names.insert(DeclaredName(line));
    }
    return names;
}

std::set<std::string> Names(const std::vector<DynamicSymbol> &symbols) {
    std::set<std::string> names;
    for (const DynamicSymbol &symbol : symbols) names.insert(symbol.name);
    return names;
}

// The names of one set that the other lacks.
std::vector<std::string> Lacking(const std::set<std::string> &from, const std::set<std::string> &in) {
    std::vector<std::string> lacking;
    std::set_difference(from.begin(), from.end(), in.begin(), in.end(), std::back_inserter(lacking));
    return lacking;
}

// Opens, then closes the library; true when it is gone from the process afterwards.
template <class Use>
bool UnloadsAfter(const char *path, Use use) {
    void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        ADD_FAILURE() << dlerror();
        return false;
    }
    use(library);
    dlclose(library);
    void *still = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (still != nullptr) dlclose(still);
    return still == nullptr;
}

}  // namespace

TEST(ExportedSymbols, TheLibraryOffersItsHeadersAndTheRelayItsDescriptor) {
    const std::set<std::string> declared = DeclaredFunctions({NOX_HEADER, NOX_EXT_HEADER});
    ASSERT_TRUE(declared.count("GenICamInit") == 1 && declared.count("Nox_getCameraInfo") == 1 &&
                declared.count("Nox_getFeatureInfo") == 1)
        << "the headers' declarations were not read";
    const std::vector<DynamicSymbol> library = DefinedDynamicSymbols(NOX_LIBRARY);
    EXPECT_EQ(Lacking(Names(library), declared), std::vector<std::string>{}) << "exported, not declared";
    EXPECT_EQ(Lacking(declared, Names(library)), std::vector<std::string>{}) << "declared, not exported";
    for (const DynamicSymbol &symbol : library) {
        EXPECT_EQ(symbol.binding, STB_GLOBAL) << symbol.name;
        EXPECT_EQ(symbol.type, STT_FUNC) << symbol.name;
    }

    const std::vector<DynamicSymbol> relay = DefinedDynamicSymbols(NOX_RELAY);
    ASSERT_EQ(relay.size(), 1u) << ::testing::PrintToString(Names(relay));
    EXPECT_EQ(relay[0].name, RELAY_DESCRIPTOR_SYMBOL);
    EXPECT_EQ(relay[0].binding, STB_GLOBAL);
    EXPECT_EQ(relay[0].type, STT_OBJECT);
}

TEST(ExportedSymbols, BothLibrariesUnloadAfterUse) {
    // The relay first: the library, once up, keeps the relay it loaded.
    EXPECT_TRUE(UnloadsAfter(NOX_RELAY, [](void *library) { EXPECT_NE(dlsym(library, RELAY_DESCRIPTOR_SYMBOL), nullptr); }));
    EXPECT_TRUE(UnloadsAfter(NOX_LIBRARY, [](void *library) {
        auto init = reinterpret_cast<void (*)()>(dlsym(library, "GenICamInit"));
        auto deinit = reinterpret_cast<void (*)()>(dlsym(library, "GenICamDeinit"));
        ASSERT_TRUE(init != nullptr && deinit != nullptr);
        init();
        deinit();
    }));
}
