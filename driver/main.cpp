#include "driver/run.hpp"

int main() {
    driver::startup();
    driver::command_loop();
}
