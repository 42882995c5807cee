#include "app/ProgramStart.h"

int main(int argc, char **argv) {
    return vexil::RunProgram(argc, argv);
}
