// Pipes to and from a child and the child started with them; the system's
// command interpreter plays the child.
#include "platform/ChildProcess.h"

#include "platform/Paths.h"
#include "platform/Pipes.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

bool Inheritable(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) && (flags & HANDLE_FLAG_INHERIT);
}

} // namespace

// A child with standard handles inherits only those: another inheritable
// handle of this process (here the write end of a second pipe, as the
// caller's own output would be) is not kept open by the child.
TEST(ChildProcess, AChildWithStandardHandlesInheritsNothingElseAndTalksThroughPipesAMissingOneIsNotStarted) {
    std::optional<TChildPipe> input = PipeToChild();
    std::optional<TChildPipe> output = PipeFromChild(65535);
    std::optional<TChildPipe> bystander = PipeFromChild();
    ASSERT_TRUE(input && output && bystander);
    for (const TChildPipe* pipe : {&*input, &*output}) {
        EXPECT_FALSE(Inheritable(pipe->Ours.get()));
        EXPECT_TRUE(Inheritable(pipe->Child.get()));
    }

    TChildStart start;
    // Writes its word, then reads its next command from its input.
    start.CommandLine = L"cmd.exe /q /k echo velmora-child";
    start.StandardHandles = TStandardHandles{input->Child.get(), output->Child.get(), output->Child.get()};
    start.CreationFlags = CREATE_NO_WINDOW;
    std::optional<TChildProcess> child = StartChildProcess(start);
    ASSERT_TRUE(child) << GetLastError();
    EXPECT_NE(child->ProcessID, 0u);
    input->Child.reset();
    output->Child.reset();
    bystander->Child.reset();
    // With the child still running, the bystander's only writer is gone.
    EXPECT_FALSE(PeekNamedPipe(bystander->Ours.get(), nullptr, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    EXPECT_EQ(WaitForSingleObject(child->Process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    const std::string command = "exit 7\r\n";
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(input->Ours.get(), command.data(), static_cast<DWORD>(command.size()), &written, nullptr));
    input->Ours.reset();
    ASSERT_EQ(WaitForSingleObject(child->Process.get(), 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(child->Process.get(), &code));
    EXPECT_EQ(code, 7u);
    std::string text;
    EXPECT_TRUE(AppendAvailable(output->Ours.get(), text));
    EXPECT_NE(text.find("velmora-child"), std::string::npos) << text;

    // A program that is not there is not started, and the error says why.
    start.Application = SystemFolderWithBackslash() + L"velmora-no-such-program.exe";
    start.StandardHandles.reset();
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(StartChildProcess(start));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
