// QueryInterface for the library's notification objects, which answer
// IUnknown and the one interface they implement.
#pragma once

#include "platform/platform.h"

namespace quorvel {

HRESULT answerQuery(IUnknown *self, REFIID asked, const IID &own, void **ppvObject);

} // namespace quorvel
