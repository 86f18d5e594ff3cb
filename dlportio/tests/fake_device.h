// Stands in for ppdev devices: records every call and answers as told.
#pragma once

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "device_calls.h"

class FakeDevice final : public dlportio::DeviceCalls {
public:
    std::vector<std::string> log;
    std::map<std::string, int> open_errno;     // device -> errno its open fails with
    std::map<unsigned long, int> ioctl_errno;  // request -> errno it fails with
    std::uint8_t status = 0x7F;
    std::vector<std::uint8_t> data_written;

    int open(const char* path, int) override {
        log.push_back(std::string("open ") + path);
        if (auto failure = open_errno.find(path); failure != open_errno.end()) {
            errno = failure->second;
            return -1;
        }
        return 7;
    }
    int ioctl(int fd, unsigned long request, void* argument) override {
        log.push_back(name(request) + (fd == 7 ? "" : " on a wrong descriptor"));
        if (auto failure = ioctl_errno.find(request); failure != ioctl_errno.end()) {
            errno = failure->second;
            return -1;
        }
        if (request == PPWDATA) {
            data_written.push_back(*static_cast<unsigned char*>(argument));
        } else if (request == PPRSTATUS) {
            *static_cast<unsigned char*>(argument) = status;
        }
        return 0;
    }
    int close(int fd) override {
        log.push_back(fd == 7 ? "close" : "close of a wrong descriptor");
        return 0;
    }

    static std::string name(unsigned long request) {
        switch (request) {
            case PPEXCL:
                return "PPEXCL";
            case PPCLAIM:
                return "PPCLAIM";
            case PPRELEASE:
                return "PPRELEASE";
            case PPWDATA:
                return "PPWDATA";
            case PPRSTATUS:
                return "PPRSTATUS";
            default:
                return "other ioctl";
        }
    }
};
