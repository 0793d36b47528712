#include "twain/CMsgSetupFileXfer.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"

#include <cstring>

TW_UINT16 CMsgSetupFileXfer::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    const TW_UINT16 state = assistor->GetState();
    if (state < 400 || state > 600)
        return FailWith(TWCC_SEQERROR);
    auto* setup = static_cast<TW_SETUPFILEXFER*>(pCall->pData);
    switch (pCall->MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT: {
        if (setup == nullptr)
            return FailWith(TWCC_BADVALUE);
        std::memset(setup->FileName, 0, sizeof setup->FileName);
        WideCharToMultiByte(CP_ACP, 0, assistor->m_strXferFileName, -1, setup->FileName,
                            static_cast<int>(sizeof setup->FileName) - 1, nullptr, nullptr);
        setup->FileName[sizeof setup->FileName - 1] = 0;
        setup->Format = assistor->m_wXferFileFormat;
        setup->VRefNum = 0;
        return TWRC_SUCCESS;
    }
    case MSG_SET: {
        if (setup == nullptr)
            return FailWith(TWCC_BADVALUE);
        // The file formats the capability table offers; the name stays as it was for any other.
        if (setup->Format != TWFF_BMP && setup->Format != TWFF_TIFF)
            return FailWith(TWCC_BADVALUE);
        // An application's name is not trusted to be terminated.
        char name[sizeof setup->FileName] = {};
        std::memcpy(name, setup->FileName, sizeof name - 1);
        WCHAR wide[sizeof name] = {};
        MultiByteToWideChar(CP_ACP, 0, name, -1, wide, static_cast<int>(std::size(wide)) - 1);
        assistor->m_strXferFileName = wide;
        assistor->m_wXferFileFormat = setup->Format;
        OFSTRUCT info{};
        if (OpenFile(name, &info, OF_EXIST) == HFILE_ERROR) {
            const HFILE created = OpenFile(name, &info, OF_CREATE);
            if (created == HFILE_ERROR)
                return FailWith(TWCC_BADVALUE);
            _lclose(created);
        }
        return TWRC_SUCCESS;
    }
    default:
        return FailWith(TWCC_BADPROTOCOL);
    }
}
