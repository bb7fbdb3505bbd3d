// CMemInf: an ordered list of key/value pairs holding its own copies.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "host/corvane.h"

struct CMemInf::Impl {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::size_t next = 0;
};

CMemInf::CMemInf(const char*, const char*) : impl_(new Impl) {}

CMemInf::~CMemInf() {
    delete impl_;
}

void CMemInf::AppendValue(const char* key, const char* value) {
    impl_->pairs.emplace_back(key ? key : "", value ? value : "");
}

void CMemInf::Sort(int byKey, int descending) {
    // std::string compares as unsigned bytes, which is the order the callers rely on.
    auto& pairs = impl_->pairs;
    auto field = [byKey](const std::pair<std::string, std::string>& p) -> const std::string& {
        return byKey ? p.first : p.second;
    };
    std::stable_sort(pairs.begin(), pairs.end(), [&](const auto& a, const auto& b) {
        return descending ? field(b) < field(a) : field(a) < field(b);
    });
    impl_->next = 0;
}

int CMemInf::GetFirstValue(char*& key, char*& value) {
    impl_->next = 0;
    return GetNextValue(key, value);
}

int CMemInf::GetNextValue(char*& key, char*& value) {
    if (impl_->next >= impl_->pairs.size()) return 0;
    auto& pair = impl_->pairs[impl_->next++];
    key = &pair.first[0];
    value = &pair.second[0];
    return 1;
}
