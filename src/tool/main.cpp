#include "tool/driver.h"

int main(int argc, char** argv) {
    return RunGradeshift(argc, argv);
}
