// A second player process as far as the lock is concerned: takes the single-instance lock
// given on the command line and says whether it got it.
//
//   instance_probe try LOCKFILE    prints acquired / busy / unavailable, exits 0 / 1 / 2
//   instance_probe hold LOCKFILE   the same, then keeps the lock until standard input closes
#include <iostream>
#include <string>

#include "desktop/single_instance.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::string(argv[1]) != "try" && std::string(argv[1]) != "hold")) {
        std::cerr << "usage: instance_probe try|hold LOCKFILE\n";
        return 3;
    }
    sonarch::SingleInstance instance(argv[2]);
    switch (instance.tryLock()) {
        case sonarch::InstanceLock::Acquired:
            std::cout << "acquired" << std::endl;
            break;
        case sonarch::InstanceLock::HeldByAnother:
            std::cout << "busy" << std::endl;
            return 1;
        case sonarch::InstanceLock::Unavailable:
            std::cout << "unavailable" << std::endl;
            return 2;
    }
    if (std::string(argv[1]) == "hold") {
        std::string line;
        while (std::getline(std::cin, line)) {
        }
    }
    return 0;
}
