#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The last headings of a run, as many as the capacity, for FindHighway: a run of any
// length keeps a fixed amount of memory. Push is cheap enough for every iteration.
class HeadingTail
{
public:
    // A capacity of 0 is taken as 1.
    explicit HeadingTail(std::size_t capacity);

    void Push(std::uint8_t heading)
    {
        Buffer[Next] = heading;
        if (++Next == Buffer.size())
        {
            Next = 0;
            Full = true;
        }
    }

    std::size_t Capacity() const { return Buffer.size(); }
    std::size_t Size() const { return Full ? Buffer.size() : Next; }
    void Clear();

    // The kept headings, oldest first, Size() of them. Rotates the buffer in place rather
    // than copying it; later pushes carry on as before.
    const std::uint8_t* Ordered();

private:
    std::vector<std::uint8_t> Buffer;
    std::size_t Next = 0;
    bool Full = false;
};
