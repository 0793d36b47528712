// The handler of DAT_IMAGEMEMXFER: the page in rows, one application buffer a call. Rows longer than the buffer go
// in pieces through a row buffer of the handler's own.
#pragma once

#include "twain/CMsgLib.h"

#include <cstddef>
#include <memory>

class CMsgImageMemXfer : public CMsgLib {
public:
    CMsgImageMemXfer() : CMsgLib(DAT_IMAGEMEMXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;

private:
    std::unique_ptr<BYTE[]> m_pRowBuffer; // the current row, zeroed padding to BytesPerRow
    size_t m_nRowBufferSize = 0;
    unsigned m_nRowOffset = 0; // bytes of the row in m_pRowBuffer already handed out
};
