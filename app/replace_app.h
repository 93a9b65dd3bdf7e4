// CReplaceApp: runs the main dialog and ends the program when it closes.
#pragma once

#include "framework/win_app.h"

class CReplaceApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

extern CReplaceApp theApp;
