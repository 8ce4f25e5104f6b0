// The stand-in messenger: shared pieces of its few source files.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>

enum class AutomationMode { Ok, CreateFails, OpenFails, QueryFails, NonBstr, LongReply };

struct Options {
  std::wstring profile = L"someone";
  bool signedOut = false;
  bool beta = false;
  std::wstring title;  // the main window's title; empty: as beta says
  bool profileKey = true;
  bool keepKey = false;
  AutomationMode automation = AutomationMode::Ok;
  const char* automationName = "ok";
  bool hung = false;
  bool hungAfterOpen = false;  // hang only once the first channel is opened
  DWORD hungSeconds = 0;       // 0: for the rest of its life
  bool comOnWindowThread = false;  // serve the automation object from the window thread's apartment
  std::wstring logPath;
  std::wstring readyEvent;
  HWND notifyWindow = nullptr;  // sent WM_APP on each apply command, before the record is read
  bool notifyOnClosing = false;  // ... and on each closing command
  DWORD slowApplyMs = 0;        // on each apply command, wait this long before the record is read
};

// log.cpp: one line per event to stdout and, if opened, to the log file.
void OpenLogFile(const std::wstring& path);
void CloseLogFile();
void LogLine(const std::string& line);  // any thread
std::string Utf8(const std::wstring& text);
std::string Hex(const std::string& bytes);

// automation_server.cpp: the COM local server, served from the apartment of
// the thread that calls StartAutomation.
bool StartAutomation(const Options& options);
void StopAutomation();

// main.cpp: makes the window thread hang as --hung does (any thread; once).
void RequestHang();

// record.cpp: reads the values the plug-in handed over and describes them.
struct RecordReport {
  std::string logLine;       // "record ..." (test-comparable)
  std::string shownLine;     // "shown ..." (for people)
  std::wstring displayText;  // for the main window
};
RecordReport ReadRecord(const std::wstring& keyPath);
std::wstring ProfileKeyPath(const std::wstring& profile);
std::wstring ProfileRootPath(const std::wstring& profile);
