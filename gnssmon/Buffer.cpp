#include "gnssmon/Buffer.h"

void BufferInit(_BUFFER* pBuf, unsigned char* storage, int length) {
    if (pBuf == nullptr) return;
    const bool usable = storage != nullptr && length > 0;
    pBuf->pData = usable ? storage : nullptr;
    pBuf->iSize = usable ? length : 0;
    pBuf->iHead = 0;
    pBuf->iTail = 0;
    pBuf->iCount = 0;
}

void BufferPutByte(_BUFFER* pBuf, unsigned char byte) {
    if (pBuf == nullptr || BufferIsFull(pBuf)) return;
    pBuf->pData[pBuf->iHead] = byte;
    pBuf->iHead = (pBuf->iHead + 1) % pBuf->iSize;
    ++pBuf->iCount;
}

unsigned char BufferGetByte(_BUFFER* pBuf) {
    if (pBuf == nullptr || pBuf->pData == nullptr || pBuf->iSize <= 0) return 0;
    const unsigned char byte = pBuf->pData[pBuf->iTail];
    if (pBuf->iCount > 0) {
        pBuf->iTail = (pBuf->iTail + 1) % pBuf->iSize;
        --pBuf->iCount;
    }
    return byte;
}

bool BufferIsEmpty(const _BUFFER* pBuf) { return pBuf == nullptr || pBuf->iCount == 0; }

bool BufferIsFull(const _BUFFER* pBuf) { return pBuf == nullptr || pBuf->iCount >= pBuf->iSize; }

int BufferFreeSpace(const _BUFFER* pBuf) { return pBuf == nullptr ? 0 : pBuf->iSize - pBuf->iCount; }

void BufferClear(_BUFFER* pBuf) {
    if (pBuf == nullptr) return;
    pBuf->iHead = 0;
    pBuf->iTail = 0;
    pBuf->iCount = 0;
}
