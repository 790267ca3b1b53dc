#include "platform/RegHive.h"

#include <algorithm>
#include <utility>

#include "platform/RegLimits.h"

namespace tarvik {

namespace {

constexpr char kSortSeparator = '\x01';

std::string_view LastComponent(std::string_view path) {
    std::size_t pos = path.rfind('\\');
    return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

}  // namespace

RegHive::RegHive() {
    keys_.emplace(std::string(), Key());
}

std::optional<std::string> RegHive::NormalizePath(std::string_view path) {
    std::string normalized;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (!part.empty()) {
            for (char c : part) {
                if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') return std::nullopt;
            }
            if (!normalized.empty()) normalized += '\\';
            normalized += part;
        }
        start = end + 1;
    }
    return normalized;
}

bool RegHive::IsValidValueName(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string RegHive::SortKey(std::string_view normalizedPath) {
    std::string key = FoldCase(normalizedPath);
    std::replace(key.begin(), key.end(), '\\', kSortSeparator);
    return key;
}

RegHive::Key* RegHive::Find(std::string_view path) {
    auto normalized = NormalizePath(path);
    if (!normalized) return nullptr;
    auto it = keys_.find(SortKey(*normalized));
    return it == keys_.end() ? nullptr : &it->second;
}

const RegHive::Key* RegHive::Find(std::string_view path) const {
    return const_cast<RegHive*>(this)->Find(path);
}

bool RegHive::HasKey(std::string_view path) const {
    return Find(path) != nullptr;
}

bool RegHive::CreateKey(std::string_view path) {
    auto normalized = NormalizePath(path);
    if (!normalized || !CheckKeyPathLimits(*normalized).empty()) return false;
    // Each new key takes its parent's stored spelling plus its own name.
    std::string parentPath;
    std::size_t start = 0;
    while (start < normalized->size()) {
        std::size_t end = normalized->find('\\', start);
        if (end == std::string::npos) end = normalized->size();
        std::string path = parentPath.empty() ? std::string() : parentPath + '\\';
        path.append(*normalized, start, end - start);
        Key key;
        key.path = std::move(path);
        auto [it, inserted] =
            keys_.try_emplace(SortKey(normalized->substr(0, end)), std::move(key));
        parentPath = it->second.path;
        start = end + 1;
    }
    return true;
}

bool RegHive::DeleteKey(std::string_view path) {
    auto normalized = NormalizePath(path);
    if (!normalized) return false;
    if (normalized->empty()) {
        keys_.clear();
        keys_.emplace(std::string(), Key());
        return true;
    }
    std::string sortKey = SortKey(*normalized);
    auto first = keys_.find(sortKey);
    if (first == keys_.end()) return false;
    std::string childPrefix = sortKey + kSortSeparator;
    auto last = std::next(first);
    while (last != keys_.end() && last->first.compare(0, childPrefix.size(), childPrefix) == 0) {
        ++last;
    }
    keys_.erase(first, last);
    return true;
}

const RegValue* RegHive::FindValue(std::string_view path, std::string_view name) const {
    const Key* key = Find(path);
    if (!key) return nullptr;
    auto it = key->index.find(FoldCase(name));
    return it == key->index.end() ? nullptr : &key->values[it->second];
}

bool RegHive::SetValue(std::string_view path, RegValue value) {
    if (!IsValidValueName(value.name) || !CheckValueLimits(value).empty()) return false;
    Key* key = Find(path);
    if (!key) {
        if (!CreateKey(path)) return false;
        key = Find(path);
    }
    std::string folded = FoldCase(value.name);
    auto it = key->index.find(folded);
    if (it != key->index.end()) {
        RegValue& existing = key->values[it->second];
        value.name = std::move(existing.name);  // the first spelling stays
        existing = std::move(value);
        return true;
    }
    key->index.emplace(std::move(folded), key->values.size());
    key->values.push_back(std::move(value));
    return true;
}

bool RegHive::DeleteValue(std::string_view path, std::string_view name) {
    Key* key = Find(path);
    if (!key) return false;
    auto it = key->index.find(FoldCase(name));
    if (it == key->index.end()) return false;
    std::size_t position = it->second;
    key->index.erase(it);
    key->values.erase(key->values.begin() + static_cast<std::ptrdiff_t>(position));
    for (auto& entry : key->index) {
        if (entry.second > position) --entry.second;
    }
    return true;
}

std::vector<std::string> RegHive::Subkeys(std::string_view path) const {
    std::vector<std::string> names;
    std::vector<const Key*> subtree = Subtree(path);
    if (subtree.empty()) return names;
    std::size_t depth = std::count(subtree[0]->path.begin(), subtree[0]->path.end(), '\\') +
                        (subtree[0]->path.empty() ? 0 : 1);
    for (std::size_t i = 1; i < subtree.size(); ++i) {
        const std::string& p = subtree[i]->path;
        if (static_cast<std::size_t>(std::count(p.begin(), p.end(), '\\')) == depth) {
            names.emplace_back(LastComponent(p));
        }
    }
    return names;
}

std::vector<RegValue> RegHive::Values(std::string_view path) const {
    const Key* key = Find(path);
    return key ? key->values : std::vector<RegValue>{};
}

std::vector<const RegHive::Key*> RegHive::Subtree(std::string_view path) const {
    std::vector<const Key*> result;
    auto normalized = NormalizePath(path);
    if (!normalized) return result;
    std::string sortKey = SortKey(*normalized);
    auto it = keys_.find(sortKey);
    if (it == keys_.end()) return result;
    result.push_back(&it->second);
    std::string childPrefix = sortKey.empty() ? std::string() : sortKey + kSortSeparator;
    for (++it; it != keys_.end() && it->first.compare(0, childPrefix.size(), childPrefix) == 0;
         ++it) {
        result.push_back(&it->second);
    }
    return result;
}

bool RegHive::operator==(const RegHive& other) const {
    if (keys_.size() != other.keys_.size()) return false;
    for (auto a = keys_.begin(), b = other.keys_.begin(); a != keys_.end(); ++a, ++b) {
        if (a->first != b->first || a->second.values != b->second.values) return false;
    }
    return true;
}

}  // namespace tarvik
