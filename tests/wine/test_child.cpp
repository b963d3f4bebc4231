// A child program for the process tests.
//   zq_test_child exit N   ends at once with exit status N
//   zq_test_child wait     waits until it is terminated
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "wait") == 0) {
        ::Sleep(INFINITE);
        return 0;
    }
    return 99;
}
