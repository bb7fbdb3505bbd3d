#include "import_patch.h"

#include <cstring>

namespace {

template <typename T>
T* At(HMODULE module, DWORD offset) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

// The import address table slot that `module` fills for `function` of `dll`, or null.
void** ImportSlot(HMODULE module, const char* dll, const char* function) {
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module);
    auto* nt = At<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return nullptr;
    for (auto* entry = At<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); entry->Name; ++entry) {
        if (_stricmp(At<char>(module, entry->Name), dll) != 0 || !entry->OriginalFirstThunk) continue;
        auto* names = At<IMAGE_THUNK_DATA>(module, entry->OriginalFirstThunk);
        auto* slots = At<IMAGE_THUNK_DATA>(module, entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = At<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

}  // namespace

void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
    void** slot = module ? ImportSlot(module, dll, function) : nullptr;
    DWORD protection = 0;
    if (!slot || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return nullptr;
    void* was = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return was;
}
