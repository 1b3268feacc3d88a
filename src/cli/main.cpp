#include <iostream>

int main() {
    std::cout << "binwright\n";
    return 0;
}
