#include "twain/CUIImp.h"

IMPLEMENT_DYNAMIC(CUIImp, CObject)
