"""A single-node Slurm cluster for the study tool's test: uses one that answers already, or
starts munged, slurmctld and slurmd (as root, with a private configuration) and stops, by
process id, what it started."""
import os
import shutil
import socket
import subprocess
import tempfile
import time


def answers(env):
    try:
        r = subprocess.run(["sinfo", "-h", "-o", "%T"], env=env, capture_output=True, text=True, timeout=20)
    except (OSError, subprocess.TimeoutExpired):
        return False
    return r.returncode == 0 and any(s.strip().rstrip("*") in ("idle", "mixed", "allocated") for s in r.stdout.split())


class Cluster:
    def __init__(self):
        self.procs = []
        self.dir = None
        self.env = dict(os.environ)

    def start(self, wait_s=120):
        if answers(self.env):
            return
        for prog in ("sbatch", "sinfo", "/usr/sbin/slurmctld", "/usr/sbin/slurmd", "/usr/sbin/munged"):
            if not shutil.which(prog):
                raise RuntimeError(f"{prog} is missing: install slurm-wlm and munge (tools/install-deps.sh)")
        if os.geteuid() != 0:
            raise RuntimeError("starting a local Slurm cluster needs root")
        self.dir = tempfile.mkdtemp(prefix="zot-slurm-")
        if subprocess.run(["pgrep", "-x", "munged"], capture_output=True).returncode != 0:
            for d in ("/etc/munge", "/run/munge", "/var/lib/munge", "/var/log/munge"):
                os.makedirs(d, exist_ok=True)
            key = "/etc/munge/munge.key"
            if not os.path.exists(key):
                with open(key, "wb") as f:
                    f.write(os.urandom(1024))
            subprocess.run(["chown", "-R", "munge:munge", "/etc/munge", "/run/munge", "/var/lib/munge", "/var/log/munge"], check=True)
            os.chmod(key, 0o400)
            self.procs.append(subprocess.Popen(["/usr/sbin/munged", "-F", "--force"], user="munge", group="munge",
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            time.sleep(1)
        host = socket.gethostname().split(".")[0]
        d = self.dir
        conf = os.path.join(d, "slurm.conf")
        for sub in ("ctld", "d", "log"):
            os.makedirs(os.path.join(d, sub))
        with open(conf, "w") as f:
            f.write(f"""ClusterName=zottest
SlurmctldHost={host}
SlurmUser=root
AuthType=auth/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
StateSaveLocation={d}/ctld
SlurmdSpoolDir={d}/d
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
SlurmctldPidFile={d}/slurmctld.pid
SlurmdPidFile={d}/slurmd.pid
SlurmctldLogFile={d}/log/slurmctld.log
SlurmdLogFile={d}/log/slurmd.log
JobAcctGatherType=jobacct_gather/none
MinJobAge=600
NodeName={host} CPUs={os.cpu_count()} State=UNKNOWN
PartitionName=debug Nodes={host} Default=YES MaxTime=INFINITE State=UP
""")
        self.env["SLURM_CONF"] = conf
        for prog in ("/usr/sbin/slurmctld", "/usr/sbin/slurmd"):
            self.procs.append(subprocess.Popen([prog, "-D"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        end = time.monotonic() + wait_s
        while time.monotonic() < end:
            if any(p.poll() is not None for p in self.procs):
                break
            if answers(self.env):
                return
            time.sleep(1)
        logs = ""
        for name in ("slurmctld.log", "slurmd.log"):
            try:
                with open(os.path.join(d, "log", name)) as f:
                    logs += f"\n--- {name}\n" + "".join(f.readlines()[-10:])
            except OSError:
                pass
        self.stop()
        raise RuntimeError("the local Slurm cluster did not come up" + logs)

    def stop(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        self.procs = []
        if self.dir:
            shutil.rmtree(self.dir, ignore_errors=True)
            self.dir = None
