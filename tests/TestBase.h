#pragma once
// What most tests use: the test framework, the standard library's containers,
// streams and threads, the library's text helpers and waiting for another thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/Format.h"
#include "platform/Text.h"
#include "tests/Polling.h"
