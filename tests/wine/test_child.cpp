// A child program for the process tests.
//   zq_test_child exit N   ends at once with exit status N
//   zq_test_child wait     waits until it is terminated
//   zq_test_child wait-event NAME
//                          waits until the named event is set, then ends
//                          with 0 (NAME in lower case: the launcher lowers
//                          the command lines it starts)
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "wait") == 0) {
        ::Sleep(INFINITE);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "wait-event") == 0) {
        HANDLE event = ::OpenEventA(SYNCHRONIZE, FALSE, argv[2]);
        if (event == nullptr) return 98;
        ::WaitForSingleObject(event, INFINITE);
        ::CloseHandle(event);
        return 0;
    }
    return 99;
}
