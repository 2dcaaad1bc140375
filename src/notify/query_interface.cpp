#include "notify/query_interface.h"

namespace quorvel {

HRESULT answerQuery(IUnknown *self, REFIID asked, const IID &own, void **ppvObject) {
  if (ppvObject == nullptr) {
    return E_POINTER;
  }
  if (platform::sameGuid(asked, platform::kIidIUnknown) || platform::sameGuid(asked, own)) {
    self->AddRef();
    *ppvObject = self;
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

} // namespace quorvel
