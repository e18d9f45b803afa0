// One slice transfer as the worker pool runs it: a target file, a download
// worker (its OS thread is not started; the test thread runs the transfer
// or calls the transfer's callbacks itself) and the slice's task.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "download/CDownloadThread.h"
#include "download/CLibcurlTool.h"
#include "platform/Process.h"

class SliceDownload {
 public:
  // Bytes from..to (inclusive) of `url`, whose whole length is `contentLength`
  // (0: unknown), into `target`.
  SliceDownload(const std::filesystem::path& target, const std::string& url, int64_t from,
                int64_t to, int64_t contentLength)
      : target_(target), file_(std::fopen(target.string().c_str(), "wb+")),
        thread_(fileMutex_, file_, &signals_) {
    task_.TaskId = 1;
    task_.RemotePath = url;
    task_.StartPos = task_.DownloadedPos = from;
    task_.EndPos = to;
    task_.ContentLength = contentLength;
    thread_.doTask(&task_);
    Request();
  }
  ~SliceDownload() {
    if (file_) std::fclose(file_);
  }

  CURLcode Run(CLibcurlTool& tool) {
    return tool.httpDownloadContent(task_.RemotePath.c_str(), task_.DownloadedPos, task_.EndPos, 0, &thread_);
  }
  // A new request from the task's DownloadedPos, as the transfer starts one.
  void Request() { thread_.answer() = SliceAnswer(task_.DownloadedPos); }
  // The callbacks as libcurl calls them during the transfer.
  size_t Header(const std::string& line) {
    std::string copy = line;  // libcurl's buffer is writable and unterminated
    return CLibcurlTool::HeaderCallback(&copy[0], 1, copy.size(), &thread_);
  }
  // An answer's header lines, then the blank line that ends them: what the
  // blank line returned (0 aborts the transfer).
  size_t Answer(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) Header(line);
    return Header("\r\n");
  }
  // The headers of a well-formed partial answer for the task's range.
  void AcceptPartial() {
    const std::string total = task_.ContentLength ? std::to_string(task_.ContentLength) : "*";
    Header("HTTP/1.1 206 Partial Content\r\n");
    Header("Content-Range: bytes " + std::to_string(task_.DownloadedPos) + "-" +
           std::to_string(task_.EndPos) + "/" + total + "\r\n");
    Header("\r\n");
  }
  size_t Write(const std::string& block) {
    return CLibcurlTool::downloadFunc(const_cast<char*>(block.data()), 1, block.size(), &thread_);
  }
  CTask& task() { return task_; }
  PoolSignals& signals() { return signals_; }
  // `count` bytes of the target file from `offset`.
  std::string Written(int64_t offset, size_t count) {
    std::fflush(file_);
    std::ifstream in(target_, std::ios::binary);
    in.seekg(offset);
    std::string bytes(count, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
  }

 private:
  std::filesystem::path target_;
  FILE* file_;
  std::mutex fileMutex_;
  PoolSignals signals_;
  CTask task_;
  CDownloadThread thread_;
};
