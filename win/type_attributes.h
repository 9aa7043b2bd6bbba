// The attributes of a type (ITypeInfo::GetTypeAttr), given back when they go.
#pragma once

#include <oaidl.h>

namespace tolvane::win {

class TypeAttributes {
 public:
  explicit TypeAttributes(ITypeInfo* info) : info_(info) {
    if (info_ == nullptr || FAILED(info_->GetTypeAttr(&attributes_))) attributes_ = nullptr;
  }
  ~TypeAttributes() {
    if (attributes_ != nullptr) info_->ReleaseTypeAttr(attributes_);
  }
  TypeAttributes(const TypeAttributes&) = delete;
  TypeAttributes& operator=(const TypeAttributes&) = delete;
  const TYPEATTR* operator->() const { return attributes_; }
  explicit operator bool() const { return attributes_ != nullptr; }

 private:
  ITypeInfo* info_;
  TYPEATTR* attributes_ = nullptr;
};

}  // namespace tolvane::win
