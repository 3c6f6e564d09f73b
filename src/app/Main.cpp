#include "app/TarnwickApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return RunApplication(theApp); }
