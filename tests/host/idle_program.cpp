// A program that does nothing until it is killed; the tests save copies of it under the
// product's image names. With --leader-exits its main thread ends and another thread lives on.
#include <pthread.h>
#include <unistd.h>

#include <cstring>

namespace {

void* idle(void*) {
    for (;;) pause();
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--leader-exits") == 0) {
        pthread_t t;
        if (pthread_create(&t, nullptr, idle, nullptr) != 0) return 1;
        pthread_exit(nullptr);
    }
    idle(nullptr);
}
