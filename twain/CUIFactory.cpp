#include "twain/CUIFactory.h"

IMPLEMENT_DYNAMIC(CUIFactory, CObject)
