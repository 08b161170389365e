#pragma once
// What api_abi_rules must find: one of each kind of finding.

struct pair_of_ints {
    int a;
    int b;
};

class broken_interface {
  public:
    virtual pair_of_ints get_pair() = 0;
    virtual void set(int value) = 0;
    virtual void set(const char* text) = 0;
    virtual ~broken_interface() = default;
};
