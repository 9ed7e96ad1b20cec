// Reading documents, byte for byte, shared by the service and end-to-end tests.
#pragma once

#include <string>

namespace golden {

// The two points of kTwoPointExample, as the device stores them.
// id 1, time 1396440000, word 0x000C (0.12), period code 0 (1)
// id 2, time 1396440060, word 0x8052 (8.2), period code 4 (60)

inline std::string StatusOnly(const char* status) {
  return "{\n    \"Status\": \"" + std::string(status) + "\"\n}\n";
}

inline std::string InfoAndStatus(const char* serial, const char* status) {
  return "{\n"
         "    \"DeviceInfo\":\n"
         "    {\n"
         "        \"Model\": \"1212\",\n"
         "        \"SerialNumber\": \"" +
         std::string(serial) +
         "\"\n"
         "    },\n"
         "    \"Status\": \"" +
         status +
         "\"\n"
         "}\n";
}

// A readout of one point from the device of kTwoPointExample, with the given value texts.
inline std::string OnePointReadout(const char* id, const char* time, const char* radiation,
                                   const char* period) {
  return "{\n"
         "    \"DeviceInfo\":\n"
         "    {\n"
         "        \"Model\": \"1212\",\n"
         "        \"SerialNumber\": \"0123456789abcd\"\n"
         "    },\n"
         "    \"RadiationPoints\":\n"
         "    [\n"
         "        {\n"
         "            \"id\": \"" +
         std::string(id) +
         "\",\n"
         "            \"time\": \"" +
         time +
         "\",\n"
         "            \"radiation\": \"" +
         radiation +
         "\",\n"
         "            \"period\": \"" +
         period +
         "\"\n"
         "        }\n"
         "    ],\n"
         "    \"Status\": \"0\"\n"
         "}\n";
}

inline const char kTwoPointExample[] =
    "{\n"
    "    \"DeviceInfo\":\n"
    "    {\n"
    "        \"Model\": \"1212\",\n"
    "        \"SerialNumber\": \"0123456789abcd\"\n"
    "    },\n"
    "    \"RadiationPoints\":\n"
    "    [\n"
    "        {\n"
    "            \"id\": \"1\",\n"
    "            \"time\": \"1396440000\",\n"
    "            \"radiation\": \"0.12\",\n"
    "            \"period\": \"1\"\n"
    "        },\n"
    "        {\n"
    "            \"id\": \"2\",\n"
    "            \"time\": \"1396440060\",\n"
    "            \"radiation\": \"8.199999999999999\",\n"
    "            \"period\": \"60\"\n"
    "        }\n"
    "    ],\n"
    "    \"Status\": \"0\"\n"
    "}\n";

}  // namespace golden
