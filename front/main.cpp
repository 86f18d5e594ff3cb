// The program's one application object exists before anything else runs.
#include "quillon_app.h"

namespace {
CQuillonApp theApp;
}

int main(int argc, char** argv) {
    return windowing::CWinApp::run(argc, argv);
}
