"""Registry requests per program in a Wine server trace (wineserver -d1).

Every registry call a Windows program makes under Wine is one request to the
server, so the count is a deterministic measure of registry work where times
are not. Each trace line starts with the requesting thread's id; threads are
mapped to processes and processes to their programs through the replies of
new_process, init_first_thread and new_thread.
"""
import re
import sys

REGISTRY_REQUESTS = {"create_key", "open_key", "delete_key", "flush_key", "enum_key", "set_key_value",
                     "get_key_value", "enum_key_value", "delete_key_value", "set_registry_notification",
                     "rename_key", "load_registry", "unload_registry", "save_registry"}

LINE = re.compile(r"^([0-9a-f]{4}): ([a-z_]+)\((.*)$")
FIELD = re.compile(r"\b(pid|tid)=([0-9a-f]+)")
IMAGE = re.compile(r'imagepath=L"([^"]*)"')


def registry_requests(lines):
    """[(program file name in lower case, registry requests)], one entry per
    process that a program of the prefix started, in the order they started."""
    thread_process = {}   # tid -> pid
    processes = []        # [program file name, registry requests], in start order
    process_index = {}    # pid -> its entry in processes (process ids are reused)
    pending_image = {}    # tid -> image of the new_process request it made
    own_thread = set()    # tids that asked for a thread of their own process
    for line in lines:
        match = LINE.match(line)
        if not match:
            continue
        tid, name, rest = match.groups()
        reply = rest.startswith(") =")
        if name == "new_process":
            if not reply:
                image = IMAGE.search(rest)
                pending_image[tid] = image.group(1).split("\\")[-1].lower() if image else "?"
            elif tid in pending_image:
                pid = dict(FIELD.findall(rest)).get("pid")
                if pid:
                    process_index[pid] = len(processes)
                    processes.append([pending_image.pop(tid), 0])
        elif name == "init_first_thread" and reply:
            fields = dict(FIELD.findall(rest))
            thread_process[fields["tid"]] = fields["pid"]
        elif name == "new_thread":
            if not reply:
                if rest.startswith(" process=ffffffff"):
                    own_thread.add(tid)
            elif tid in own_thread:
                own_thread.discard(tid)
                new_tid = dict(FIELD.findall(rest)).get("tid")
                if new_tid and tid in thread_process:
                    thread_process[new_tid] = thread_process[tid]
        elif name in REGISTRY_REQUESTS and not reply:
            index = process_index.get(thread_process.get(tid))
            if index is not None:
                processes[index][1] += 1
    return [tuple(process) for process in processes]


if __name__ == "__main__":
    with open(sys.argv[1], errors="replace") as trace:
        for image, count in registry_requests(trace):
            print("%8d  %s" % (count, image))
