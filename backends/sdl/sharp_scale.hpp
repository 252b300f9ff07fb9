// Sharp scaling on the CPU: the picture enlarged with square pixels by a whole factor, then
// filtered linearly to the output size, computed in one step straight from the picture. Used
// where the renderer is SDL's own software one, whose linear stretch of the enlarged picture
// costs several times more than this.
#pragma once
#include <cstdint>
#include <vector>

namespace zarvo::platform {

// For one axis: output pixel i blends source pixels first[i] and second[i] with weight[i]/256
// of the second. Out is `outSize` long; the picture is `inSize` long and enlarged `factor` times.
struct SharpAxis {
    std::vector<int> first, second;
    std::vector<uint32_t> weight;
};
SharpAxis sharpAxis(int inSize, int factor, int outSize);

// Scales `src` (inW x inH XRGB words, `srcStride` words a row) to outW x outH into `dst`
// (`dstStride` words a row). `rows` is scratch, reused between calls.
void sharpScale(const uint32_t* src, int inW, int inH, int srcStride, int factor, uint32_t* dst,
                int outW, int outH, int dstStride, std::vector<uint32_t>& rows);

}  // namespace zarvo::platform
