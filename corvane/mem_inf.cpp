// CMemInf: an ordered list of key/value pairs holding its own copies.
#include "host/corvane.h"
#include "host_rules.h"

struct CMemInf::Impl : host_rules::PairList {};

CMemInf::CMemInf(const char*, const char*) : impl_(new Impl) {}

CMemInf::~CMemInf() {
    delete impl_;
}

void CMemInf::AppendValue(const char* key, const char* value) {
    impl_->Append(key, value);
}

void CMemInf::Sort(int byKey, int descending) {
    impl_->Sort(byKey != 0, descending != 0);
}

int CMemInf::GetFirstValue(char*& key, char*& value) {
    return impl_->First(key, value) ? 1 : 0;
}

int CMemInf::GetNextValue(char*& key, char*& value) {
    return impl_->Next(key, value) ? 1 : 0;
}
