#pragma once

#include <string>

namespace dvk {
struct DVKLib;
namespace test {

struct HandOff {
    int calls = 0;
    DVKLib* record = nullptr;
    std::string camera;
    float matrix[4][3] = {};
};
extern HandOff last_hand_off;

}  // namespace test
}  // namespace dvk
