// One window of a chunk: a node of the list that ChunkSimilarity returns,
// holding its own copy of the window's bytes.
#ifndef DEDUP_SHA_CHUNKWINDOW_H
#define DEDUP_SHA_CHUNKWINDOW_H

#include <atomic>

class ChunkWindow {
public:
    // Sets the class-wide window size to ws. With a chunkPointer, copies
    // ws bytes from it; without one, the window stays empty.
    ChunkWindow(unsigned ws, unsigned windowOffset, const unsigned char* chunkPointer);
    ~ChunkWindow();  // releases data only, never the windows after it

    ChunkWindow(const ChunkWindow&) = delete;
    ChunkWindow& operator=(const ChunkWindow&) = delete;

    unsigned getWindowSize() const;
    unsigned char* getData() const;
    // Copies windowSize bytes from d.
    void setData(const unsigned char* d);
    // Copies the first numBytes (at most windowSize) bytes from d and zeroes
    // the rest: a chunk's shorter last window has fewer bytes to read.
    void setData(const unsigned char* d, unsigned numBytes);
    ChunkWindow* getNext() const;
    bool isEmpty() const;

    // Deletes head and every window after it, walking the next links.
    static void releaseList(ChunkWindow* head);

private:
    // One size for all windows alive at a time: every constructor sets it.
    // Chunks are compared on several threads at once, all with one size.
    static std::atomic<unsigned> windowSize;
    unsigned char* data;
    bool empty;

public:
    unsigned offset;  // window index within its chunk
    ChunkWindow* next;
};

#endif
