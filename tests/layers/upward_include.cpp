// Compiled as a part of one layer while it names a header of a layer above
// it (ZQ_PROBE_HEADER, set by tests/layers/CMakeLists.txt), this must not
// compile; as a part of the layer above, it must.
#include ZQ_PROBE_HEADER
