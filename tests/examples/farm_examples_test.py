"""The farm examples run as a scheduler would run them, with a stand-in for
taviron that records the arguments it is given: the Slurm job script's
checks of its settings, and the Open Job Description template's task script,
with the template's values put in as a scheduler puts them."""
import os
import re
import stat
import subprocess
import sys
import tempfile
import unittest

import yaml

EXAMPLES = sys.argv.pop(1)


class FarmExampleTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.record = os.path.join(self.folder.name, "arguments")
        self.taviron = os.path.join(self.folder.name, "fake taviron")
        with open(self.taviron, "w") as script:
            script.write('#!/bin/sh\nprintf "%s\\0" "$@" > "$RECORD"\n')
        os.chmod(self.taviron, stat.S_IRWXU)

    def tearDown(self):
        self.folder.cleanup()

    def recorded(self):
        with open(self.record) as arguments:
            return arguments.read().split("\0")[:-1]


class SlurmScriptTest(FarmExampleTest):
    def run_task(self, **settings):
        environment = dict(os.environ, RECORD=self.record, TAVIRON=self.taviron, INPUT="in.####.exr",
                           OUTPUT="out.####.exr", SLURM_ARRAY_TASK_ID="0", CHUNK_SIZE="10")
        environment.update(settings)
        return subprocess.run(["bash", os.path.join(EXAMPLES, "slurm", "taviron-render.sbatch"), "--frames", "1"],
                              env=environment, capture_output=True, text=True)

    def test_frame_numbers_are_taken_as_taviron_takes_them(self):
        task = self.run_task(FRAME_START="-20", FRAME_END="-15")
        self.assertEqual(task.returncode, 0, task.stderr)
        self.assertIn("--range", self.recorded())
        self.assertEqual(self.recorded()[self.recorded().index("--range") + 1], "-20--15")
        task = self.run_task(FRAME_START="0010", FRAME_END="0012")
        self.assertEqual(task.returncode, 0, task.stderr)
        self.assertEqual(self.recorded()[self.recorded().index("--range") + 1], "10-12")

    def test_numbers_too_long_are_refused_naming_them(self):
        for name, value in [("FRAME_END", "12345678901234567890"), ("FRAME_START", "1000000000"),
                            ("CHUNK_SIZE", "-3"), ("FRAME_START", "1e3")]:
            with self.subTest(name=name, value=value):
                settings = {"FRAME_START": "1", "FRAME_END": "20", name: value}
                task = self.run_task(**settings)
                self.assertEqual(task.returncode, 1, task.stderr)
                self.assertIn(f"{name} must be a whole number", task.stderr)
                self.assertIn(f"'{value}'", task.stderr)
                self.assertFalse(os.path.exists(self.record))


class OpenJDTemplateTest(FarmExampleTest):
    def test_a_path_holding_any_character_reaches_taviron_as_it_is(self):
        with open(os.path.join(EXAMPLES, "openjd", "taviron-render.yaml")) as file:
            template = yaml.safe_load(file)
        step = template["steps"][0]["script"]
        script = os.path.join(self.folder.name, "render.sh")
        with open(script, "w") as file:
            file.write(step["embeddedFiles"][0]["data"])
        strange = os.path.join(self.folder.name, "it's a \"shot\" $(touch pwned) `x`\n\\.####.exr")
        values = {"Task.File.Render": script, "Task.Param.ChunkStart": "91", "Param.ChunkSize": "10",
                  "Param.FrameEnd": "95", "Param.Taviron": self.taviron, "Param.Input": strange,
                  "Param.Output": strange + ".out", "Param.Frames": "2", "Param.Direction": "both",
                  "Param.Method": "median", "Param.Threshold": "0.1", "Param.Channels": "rgb",
                  "Param.Mask": "", "Param.Track": "O'Brien.csv"}
        # A scheduler puts values into the command's arguments; none may go
        # into the script's text, where a shell would read them.
        self.assertNotIn("{{", step["embeddedFiles"][0]["data"])
        arguments = [re.sub(r"\{\{(.*?)\}\}", lambda name: values[name.group(1)], argument)
                     for argument in step["actions"]["onRun"]["args"]]
        task = subprocess.run([step["actions"]["onRun"]["command"]] + arguments, cwd=self.folder.name,
                              env=dict(os.environ, RECORD=self.record), capture_output=True, text=True)
        self.assertEqual(task.returncode, 0, task.stderr)
        self.assertEqual(self.recorded(), [
            "render", "-i", strange, "-o", strange + ".out", "--range", "91-95", "--progress-format", "openjd",
            "--frames", "2", "--direction", "both", "--method", "median", "--threshold", "0.1", "--channels", "rgb",
            "--track", "O'Brien.csv"])
        self.assertFalse(os.path.exists(os.path.join(self.folder.name, "pwned")))


if __name__ == "__main__":
    unittest.main()
