#pragma once

// Generic options of the old libraries that moved into encoders or muxers, or vanished: one
// table that turns an old name or flag token into today's option, and the small interpreter
// that applies it. Presets, preset files and targets written in the old vocabulary go through
// it with every other generic option.

#include <map>
#include <string>
#include <vector>

class TOptionContexts;

// How an old value becomes today's value.
enum class TLegacyValue : unsigned char {
    Number,     // the old value unchanged, when it is a number
    Fixed,      // the rule's value (for flag tokens: one value when set, another when cleared)
    Map,        // the rule's list "old:new,...", "*" matching any other value
    Partitions, // "+parti8x8+partp8x8..." becomes a list of today's partition names
    FlagToken,  // adds the rule's token to today's flags option of that name
    Rename,     // the token keeps its place in the generic flags under the rule's name
};

struct TLegacyRule {
    const char* option;    // the old option
    const char* token;     // a flag token of the old option, or null for the whole option
    const char* target;    // today's option, or null when nothing took its place
    TLegacyValue form;     // how the value is carried over
    const char* value;     // Fixed and FlagToken: when set; Map: the list
    const char* cleared;   // Fixed and FlagToken: when a flag token is cleared
    const char* appliesTo; // who takes today's option
    bool keepToken;        // the token also stays in the generic flags
};

class TLegacyOptions {
public:
    // The generic option handler: translates old names and flag tokens, then writes the
    // options into contexts. False only for a name no library knows, or a refused value of a
    // generic option; an old option without equivalent is accepted with a warning.
    bool SetOption(TOptionContexts& contexts, const std::string& name, const std::string& value,
                   const void* sender);
    // Forgets merged flag values: called whenever the option contexts are created anew.
    void Clear() { merged_.clear(); }

    static const std::vector<TLegacyRule>& Rules();

private:
    bool ApplyWhole(TOptionContexts& contexts, const std::string& name, const std::string& value,
                    const void* sender);
    bool ApplyFlags(TOptionContexts& contexts, const std::string& name, const std::string& value,
                    const void* sender);
    // Applies one rule to a value (a flag token's sign given by set); true when taken.
    bool ApplyRule(TOptionContexts& contexts, const TLegacyRule& rule, const std::string& value,
                   bool set, const void* sender);

    // Today's flags options fed by several old tokens, with the tokens given so far.
    std::map<std::string, std::string> merged_;
};
