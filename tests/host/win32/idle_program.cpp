// A Windows program that does nothing until it is terminated; the tests run copies of it under
// the product's image names.
#include <windows.h>

int main() {
    Sleep(INFINITE);
}
