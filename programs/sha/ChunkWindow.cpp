#include "ChunkWindow.h"

#include <cstring>

std::atomic<unsigned> ChunkWindow::windowSize{64};

ChunkWindow::ChunkWindow(unsigned ws, unsigned windowOffset, const unsigned char* chunkPointer)
    : data(nullptr), empty(true), offset(windowOffset), next(nullptr) {
    windowSize = ws;
    data = new unsigned char[ws];
    if (chunkPointer != nullptr) setData(chunkPointer);
}

ChunkWindow::~ChunkWindow() { delete[] data; }

unsigned ChunkWindow::getWindowSize() const { return windowSize; }

unsigned char* ChunkWindow::getData() const { return data; }

void ChunkWindow::setData(const unsigned char* d) { setData(d, windowSize); }

void ChunkWindow::setData(const unsigned char* d, unsigned numBytes) {
    const unsigned size = windowSize;
    if (numBytes > size) numBytes = size;
    if (numBytes > 0) std::memcpy(data, d, numBytes);
    if (numBytes < size) std::memset(data + numBytes, 0, size - numBytes);
    empty = false;
}

ChunkWindow* ChunkWindow::getNext() const { return next; }

bool ChunkWindow::isEmpty() const { return empty; }

void ChunkWindow::releaseList(ChunkWindow* head) {
    while (head != nullptr) {
        ChunkWindow* following = head->next;
        delete head;
        head = following;
    }
}
