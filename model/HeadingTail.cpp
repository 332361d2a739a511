#include "HeadingTail.h"

#include <algorithm>
#include <iterator>

HeadingTail::HeadingTail(std::size_t capacity) : Buffer(std::max<std::size_t>(capacity, 1)) {}

void HeadingTail::Clear()
{
    Next = 0;
    Full = false;
}

const std::uint8_t* HeadingTail::Ordered()
{
    if (Full && Next != 0)
    {
        std::rotate(Buffer.begin(), std::next(Buffer.begin(), static_cast<std::ptrdiff_t>(Next)),
                    Buffer.end());
        Next = 0;
    }
    return Buffer.data();
}
