#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Helpers shared by the fuzz targets.
namespace fuzzsupport {

// Ends the run as a finding (libFuzzer saves the input) when condition is false.
void check(bool condition, const char* what);

// The Qt application object that the event pump and the sockets need; created
// once per process.
void ensureApplication();

// The input cut into pieces: its first byte chooses the piece length (1..64),
// the rest is the data. At most maxPieces pieces; the last takes the remainder.
std::vector<std::string> pieces(const std::uint8_t* data, std::size_t size,
                                std::size_t maxPieces = 256);

}  // namespace fuzzsupport
