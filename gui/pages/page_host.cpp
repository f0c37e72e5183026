#include "pages/page_host.h"

CPageHost* g_pMainDlg = nullptr;
