#include "chip/FuseNameHint.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/TextUtil.h"

namespace mervex {

namespace {

// Edits (insert, delete, replace) from one name to the other, letter case ignored.
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::toupper(static_cast<unsigned char>(a[i - 1])) ==
                              std::toupper(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A name that holds the typed one, or is held in it, comes before any other.
size_t closeness(const std::string& typed, const std::string& name) {
    const std::string a = upper(typed), b = upper(name);
    if (!a.empty() && (a.find(b) != std::string::npos || b.find(a) != std::string::npos)) return 0;
    return 1 + editDistance(a, b);
}

// The byte a name from other tools or data sheets means ("lfuse", "LOW", "hfuse"), or -1.
int byteMeant(const std::string& typed) {
    const std::string name = upper(typed);
    const struct {
        const char* word;
        FuseByte byte;
    } words[] = {{"LFUSE", FuseByte::Low}, {"LOW", FuseByte::Low},   {"HFUSE", FuseByte::High},
                 {"HIGH", FuseByte::High}, {"EFUSE", FuseByte::Ext}, {"EXT", FuseByte::Ext},
                 {"LOCK", FuseByte::Lock}};
    for (const auto& w : words)
        if (name.find(w.word) != std::string::npos) return int(w.byte);
    return -1;
}

}  // namespace

std::string fuseNamesHint(const ChipDescriptor& chip, const std::string& typed) {
    std::vector<std::string> names;
    std::string bytes;
    for (FuseByte b : {FuseByte::Low, FuseByte::High, FuseByte::Ext, FuseByte::Lock}) {
        const FuseDescriptor* list = chip.fuseSet->list(b);
        if (list == nullptr) continue;
        bytes += std::string(bytes.empty() ? "" : ", ") + fuseByteName(int(b));
        for (const FuseDescriptor* field = list; field->info != nullptr; ++field) names.push_back(field->info->name);
    }
    // Table order among names equally close.
    std::stable_sort(names.begin(), names.end(), [&typed](const std::string& x, const std::string& y) {
        return closeness(typed, x) < closeness(typed, y);
    });
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    const std::string chipName = primaryChipName(chip);
    std::string hint = formatText("Hint: %s has the fuses %s (closest first; 'mervex +%s -h' describes them)\n",
                                  chipName.c_str(), list.c_str(), chipName.c_str());
    const int meant = byteMeant(typed);
    if (meant >= 0 && chip.fuseSet->lists[meant] != nullptr)
        return hint +
               formatText("Hint: whole fuse bytes are named with a leading underscore (%s): %s=HH sets this one\n",
                          bytes.c_str(), fuseByteName(meant));
    return hint + formatText("Hint: whole fuse bytes are named with a leading underscore: %s\n", bytes.c_str());
}

}  // namespace mervex
