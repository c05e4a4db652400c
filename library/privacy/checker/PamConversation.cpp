#include "library/privacy/checker/PamConversation.h"

#include <security/pam_appl.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace PamConversation {

namespace {

struct Answers {
    const char* user;
    const char* password;
};

// Answers the password to hidden prompts and the user name to visible ones; messages get no
// answer. PAM frees the answers.
int converse(int count, const struct pam_message** messages, struct pam_response** responses, void* data) {
    const auto* answers = static_cast<const Answers*>(data);
    if (count <= 0 || count > PAM_MAX_NUM_MSG)
        return PAM_CONV_ERR;
    auto* replies = static_cast<pam_response*>(calloc(size_t(count), sizeof(pam_response)));
    if (!replies)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF && answers->password)
            replies[i].resp = strdup(answers->password);
        else if (messages[i]->msg_style == PAM_PROMPT_ECHO_ON)
            replies[i].resp = strdup(answers->user);
    }
    *responses = replies;
    return PAM_SUCCESS;
}

} // namespace

std::string currentUser() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
    return {};
}

void wipe(std::string& secret) {
    volatile char* p = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        p[i] = 0;
    secret.clear();
}

Result probe(const std::string& service) {
    const std::string user = currentUser();
    Answers answers{user.c_str(), nullptr};
    const pam_conv conversation{converse, &answers};
    pam_handle_t* handle = nullptr;
    const int started =
        user.empty() ? PAM_USER_UNKNOWN : pam_start(service.c_str(), user.c_str(), &conversation, &handle);
    if (handle)
        pam_end(handle, started);
    return started == PAM_SUCCESS ? granted : unavailable;
}

Result check(const std::string& service, std::string& password) {
    const std::string user = currentUser();
    Answers answers{user.c_str(), password.c_str()};
    const pam_conv conversation{converse, &answers};
    pam_handle_t* handle = nullptr;
    int result =
        user.empty() ? PAM_USER_UNKNOWN : pam_start(service.c_str(), user.c_str(), &conversation, &handle);
    if (result == PAM_SUCCESS)
        result = pam_authenticate(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    if (result == PAM_SUCCESS)
        result = pam_acct_mgmt(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    if (handle)
        pam_end(handle, result);
    wipe(password);
    return result == PAM_SUCCESS ? granted : denied;
}

} // namespace PamConversation
