// The type library embedded in Brenmoor.ocx, read back through ITypeLib and ITypeInfo, against the
// table of what it must describe.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "Brenmoor.h"
#include "support.h"
#include "win/scoped_bstr.h"

namespace tolvane::test {
namespace {

// stdole2.tlb, the standard automation library: the only library ours may refer to.
const GUID kStdOle = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class TypeLibrary : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadTypeLibEx(ocxPath().c_str(), REGKIND_NONE, library.put()), S_OK);
  }

  ComPtr<ITypeInfo> type(const GUID& guid) {
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(library->GetTypeInfoOfGuid(guid, info.put()), S_OK);
    return info;
  }

  ComPtr<ITypeLib> library;
};

std::wstring nameOf(ITypeInfo* info, MEMBERID id) {
  win::ScopedBstr name;
  if (FAILED(info->GetDocumentation(id, name.receive(), nullptr, nullptr, nullptr))) return L"?";
  return name.get() != nullptr ? name.get() : L"";
}

TEST_F(TypeLibrary, LibraryAttributes) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, LIBID_Brenmoor);
  EXPECT_EQ(attr->lcid, 0x0409u);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  // FHASDISKIMAGE only says that the library was loaded from a file.
  EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, LIBFLAG_FCONTROL);
  library->ReleaseTLibAttr(attr);

  win::ScopedBstr name;
  win::ScopedBstr doc;
  ASSERT_EQ(library->GetDocumentation(-1, name.receive(), doc.receive(), nullptr, nullptr), S_OK);
  EXPECT_STREQ(name.get(), L"Brenmoor");
  EXPECT_STREQ(doc.get(), L"Brenmoor");
}

struct TypeRow {
  const wchar_t* name;
  TYPEKIND kind;
  const GUID* guid;
  WORD flags;
  WORD funcs;
  WORD implTypes;
};

TEST_F(TypeLibrary, TypesInOrderWithTheirKindsAndFlags) {
  const TypeRow rows[] = {
      // The dispatch half of the dual interface; automation compatibility is the vtable half's flag.
      {L"_Tolvane", TKIND_DISPATCH, &IID__Tolvane,
       TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE, 0, 1},
      {L"Tolvane", TKIND_COCLASS, &CLSID_Tolvane, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL, 0, 2},
      {L"__Tolvane", TKIND_DISPATCH, &DIID___Tolvane,
       TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE, 0, 1},
  };
  ASSERT_EQ(library->GetTypeInfoCount(), std::size(rows));
  for (UINT i = 0; i < std::size(rows); ++i) {
    const TypeRow& row = rows[i];
    SCOPED_TRACE(testing::Message() << "type " << i);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfo(i, info.put()), S_OK);
    EXPECT_EQ(nameOf(info.get(), MEMBERID_NIL), row.name);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, row.kind);
    EXPECT_EQ(attr->guid, *row.guid);
    EXPECT_EQ(attr->wTypeFlags, row.flags) << std::hex << attr->wTypeFlags;
    EXPECT_EQ(attr->cImplTypes, row.implTypes);
    EXPECT_EQ(attr->cVars, 0);
    if (row.kind != TKIND_DISPATCH || (row.flags & TYPEFLAG_FDUAL) == 0) {
      EXPECT_EQ(attr->cFuncs, row.funcs);
    }
    info->ReleaseTypeAttr(attr);
  }
}

struct MemberRow {
  const wchar_t* name;
  MEMBERID id;
  INVOKEKIND kind;
  SHORT params;
  VARTYPE param;  // the type of the one parameter, VT_EMPTY when there is none
  USHORT paramFlags;
};

TEST_F(TypeLibrary, DualInterfaceMembersInOrder) {
  const MemberRow rows[] = {
      {L"ResizeFont", 0x40030000, INVOKE_PROPERTYGET, 1, VT_PTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},
      {L"ResizeFont", 0x40030000, INVOKE_PROPERTYPUT, 1, VT_BOOL, PARAMFLAG_FIN},
      {L"KeepRatio", 0x40030001, INVOKE_PROPERTYGET, 1, VT_PTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},
      {L"KeepRatio", 0x40030001, INVOKE_PROPERTYPUT, 1, VT_BOOL, PARAMFLAG_FIN},
      {L"gfLowRes", 0x40030002, INVOKE_PROPERTYGET, 1, VT_PTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},
      {L"gfLowRes", 0x40030002, INVOKE_PROPERTYPUT, 1, VT_BOOL, PARAMFLAG_FIN},
      {L"mfRebuild", 0x40030003, INVOKE_PROPERTYGET, 1, VT_PTR, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},
      {L"mfRebuild", 0x40030003, INVOKE_PROPERTYPUT, 1, VT_BOOL, PARAMFLAG_FIN},
      {L"Rebuild", 0x60030004, INVOKE_FUNC, 0, VT_EMPTY, 0},
      {L"Refresh", 0x60030005, INVOKE_FUNC, 0, VT_EMPTY, 0},
  };
  ComPtr<ITypeInfo> dispatch = type(IID__Tolvane);
  ASSERT_TRUE(dispatch);
  HREFTYPE href = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &href), S_OK);
  ComPtr<ITypeInfo> vtable;
  ASSERT_EQ(dispatch->GetRefTypeInfo(href, vtable.put()), S_OK);

  TYPEATTR* attr = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                                  TYPEFLAG_FDISPATCHABLE)
      << std::hex << attr->wTypeFlags;
  ASSERT_EQ(attr->cFuncs, std::size(rows));
  vtable->ReleaseTypeAttr(attr);

  // The interface derives from IDispatch, which comes from the standard automation library.
  HREFTYPE base = 0;
  ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &base), S_OK);
  ComPtr<ITypeInfo> baseInfo;
  ASSERT_EQ(vtable->GetRefTypeInfo(base, baseInfo.put()), S_OK);
  EXPECT_EQ(nameOf(baseInfo.get(), MEMBERID_NIL), L"IDispatch");
  ComPtr<ITypeLib> baseLibrary;
  UINT index = 0;
  ASSERT_EQ(baseInfo->GetContainingTypeLib(baseLibrary.put(), &index), S_OK);
  TLIBATTR* libAttr = nullptr;
  ASSERT_EQ(baseLibrary->GetLibAttr(&libAttr), S_OK);
  EXPECT_EQ(libAttr->guid, kStdOle);
  baseLibrary->ReleaseTLibAttr(libAttr);

  for (UINT i = 0; i < std::size(rows); ++i) {
    const MemberRow& row = rows[i];
    SCOPED_TRACE(testing::Message() << "member " << i);
    FUNCDESC* func = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(i, &func), S_OK);
    EXPECT_EQ(nameOf(vtable.get(), func->memid), row.name);
    EXPECT_EQ(func->memid, row.id);
    EXPECT_EQ(func->invkind, row.kind);
    EXPECT_EQ(func->wFuncFlags, 0);
    EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(func->cParams, row.params);
    if (row.params == 1) {
      const ELEMDESC& param = func->lprgelemdescParam[0];
      EXPECT_EQ(param.tdesc.vt, row.param);
      if (row.param == VT_PTR) {
        EXPECT_EQ(param.tdesc.lptdesc->vt, VT_BOOL);
      }
      EXPECT_EQ(param.paramdesc.wParamFlags, row.paramFlags);
    }
    vtable->ReleaseFuncDesc(func);
  }

  // Late-bound names resolve to the same identifiers.
  for (const MemberRow& row : rows) {
    LPOLESTR name = const_cast<LPOLESTR>(row.name);
    MEMBERID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(&name, 1, &id), S_OK);
    EXPECT_EQ(id, row.id);
  }
}

TEST_F(TypeLibrary, ClassImplementsTheDualInterfaceAndTheEventSource) {
  struct ImplRow {
    const GUID* guid;
    INT flags;
  };
  const ImplRow rows[] = {
      {&IID__Tolvane, IMPLTYPEFLAG_FDEFAULT},
      {&DIID___Tolvane, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
  };
  ComPtr<ITypeInfo> coclass = type(CLSID_Tolvane);
  ASSERT_TRUE(coclass);
  for (UINT i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "implemented type " << i);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
    EXPECT_EQ(flags, rows[i].flags);
    HREFTYPE href = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &href), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(href, implemented.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(implemented->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, *rows[i].guid);
    implemented->ReleaseTypeAttr(attr);
  }
}

TEST_F(TypeLibrary, EventInterfaceIsEmpty) {
  ComPtr<ITypeInfo> events = type(DIID___Tolvane);
  ASSERT_TRUE(events);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(events->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cFuncs, 0);
  EXPECT_EQ(attr->cVars, 0);
  events->ReleaseTypeAttr(attr);
}

}  // namespace
}  // namespace tolvane::test
