#pragma once
// Byte ring over storage that the caller owns. Used as the receive ring of
// each UART and as the small request queues of the NMEA parser.
//
// The ring never allocates and never grows: a byte put into a full ring is
// dropped, and a byte taken from an empty ring leaves the ring unchanged.

#include <cstdint>

struct _BUFFER {
    unsigned char* pData;  // the storage (owned by the caller)
    int32_t iHead;         // index of the next byte to write
    int32_t iTail;         // index of the next byte to read
    int32_t iCount;        // bytes held, 0 to iSize
    int32_t iSize;         // capacity: the storage length
};

// Sets the ring over `storage` of `length` bytes, empty. A null storage or a
// length of 0 or less gives a ring of capacity 0 (always full and empty).
void BufferInit(_BUFFER* pBuf, unsigned char* storage, int length);

// Appends one byte; when the ring is full the byte is dropped.
void BufferPutByte(_BUFFER* pBuf, unsigned char byte);

// Takes the oldest byte. When the ring is empty nothing moves and the result
// is whatever the storage holds at the read index (0 for a ring of capacity 0):
// check BufferIsEmpty first.
unsigned char BufferGetByte(_BUFFER* pBuf);

bool BufferIsEmpty(const _BUFFER* pBuf);
bool BufferIsFull(const _BUFFER* pBuf);
int BufferFreeSpace(const _BUFFER* pBuf);

// Empties the ring; the storage is left untouched.
void BufferClear(_BUFFER* pBuf);
