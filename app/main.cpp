// Program entry: the one application object and the hand-over to it.
#include "app/replace_app.h"

CReplaceApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return AfxWinMain();
}
