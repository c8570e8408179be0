// silent_ports: MIDI port pairs on a JACK server that never answer, like other devices that
// sit on the ports before the controller, for the start-up benchmark.
//
//   silent_ports [--midi-api jack] [--pairs N] [-- COMMAND [ARGS...]]
//
// Opens one JACK client "silent" with N (default 8) input and N output MIDI ports. Once they
// exist it starts COMMAND with "--midi-api jack" added (the controller emulator, whose ports
// are then listed after these), or prints "ready" when there is no command. Runs until SIGTERM
// or SIGINT, or until COMMAND ends; stops COMMAND on the way out. The server is the one that
// JACK_DEFAULT_SERVER names. scripts/jack-fixture.sh starts it in place of the emulator.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void usage(const char* what) {
    std::fprintf(stderr,
                 "silent_ports: %s\n"
                 "usage: silent_ports [--midi-api jack] [--pairs N] [-- COMMAND [ARGS...]]\n",
                 what);
    std::exit(2);
}

pid_t startCommand(std::vector<std::string> command, const sigset_t& signalMask) {
    command.insert(command.begin() + 1, {"--midi-api", "jack"});
    std::vector<char*> argv;
    for (std::string& a : command)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        pthread_sigmask(SIG_SETMASK, &signalMask, nullptr);
        execv(argv[0], argv.data());
        std::fprintf(stderr, "silent_ports: cannot start %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    return pid;
}

} // namespace

int main(int argc, char** argv) {
    int pairs = 8;
    std::vector<std::string> command;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            command.assign(argv + i + 1, argv + argc);
            if (command.empty()) usage("-- needs a command");
            break;
        }
        if (i + 1 >= argc) usage("an option lacks its value");
        const std::string value = argv[++i];
        if (a == "--midi-api") {
            if (value != "jack") usage("only the JACK API is supported");
        } else if (a == "--pairs") {
            pairs = std::atoi(value.c_str());
            if (pairs < 1 || pairs > 64) usage("--pairs expects 1 to 64");
        } else {
            usage("unknown option");
        }
    }

    jack_status_t status{};
    jack_client_t* client = jack_client_open("silent", JackNoStartServer, &status);
    if (client == nullptr) {
        std::fprintf(stderr, "silent_ports: no JACK server to join (status 0x%x)\n",
                     static_cast<unsigned>(status));
        return 1;
    }
    // Nothing is read or written: the ports only have to be there.
    for (int k = 1; k <= pairs; ++k) {
        for (const auto& [prefix, flags] :
             {std::pair{"in_", JackPortIsInput}, std::pair{"out_", JackPortIsOutput}}) {
            const std::string name = prefix + std::to_string(k);
            if (jack_port_register(client, name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0) ==
                nullptr) {
                std::fprintf(stderr, "silent_ports: cannot register port %s\n", name.c_str());
                jack_client_close(client);
                return 1;
            }
        }
    }
    if (jack_activate(client) != 0) {
        std::fprintf(stderr, "silent_ports: cannot activate the JACK client\n");
        jack_client_close(client);
        return 1;
    }

    // The signals are taken in turn by sigwait below; the command starts with them unblocked.
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGTERM, SIGINT, SIGCHLD})
        sigaddset(&signals, sig);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous);

    pid_t child = 0;
    if (!command.empty()) {
        child = startCommand(command, previous);
        if (child < 0) {
            std::fprintf(stderr, "silent_ports: fork failed: %s\n", std::strerror(errno));
            jack_client_close(client);
            return 1;
        }
    } else {
        std::printf("ready %d silent port pairs\n", pairs);
        std::fflush(stdout);
    }

    int result = 0;
    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0) continue;
        if (sig != SIGCHLD) break;
        int childStatus = 0;
        if (child > 0 && waitpid(child, &childStatus, WNOHANG) == child) {
            child = 0;
            result = WIFEXITED(childStatus) ? WEXITSTATUS(childStatus) : 1;
            break;
        }
    }
    if (child > 0) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    jack_client_close(client);
    return result;
}
