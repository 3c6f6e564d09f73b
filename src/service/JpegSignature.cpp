#include "service/JpegSignature.h"

#include <fstream>

bool BeginsWithJpegSignature(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    unsigned char head[3] = {};
    if (!file.read(reinterpret_cast<char*>(head), sizeof head)) {
        return false;
    }
    return head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}
