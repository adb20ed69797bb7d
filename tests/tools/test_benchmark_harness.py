"""The benchmark harness's reading of program output and its verdicts."""
import importlib.util
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SPEC = importlib.util.spec_from_file_location("benchmark", os.path.join(HERE, "..", "..", "scripts", "benchmark.py"))
bench = importlib.util.module_from_spec(SPEC)
SPEC.loader.exec_module(bench)

REPORT = ("time 1 : \n0\nsetting up gpu_arena took: 0.5\ninitializing device memory took: 0.01\n"
          "solving took : 1.25\nreleasing device memory took: 0\nTotal time: 1.76\n")


class Programs(unittest.TestCase):
    def test_the_algorithm_table_and_the_build_list_the_same_programs(self):
        with open(os.path.join(HERE, "..", "..", "src", "CMakeLists.txt")) as f:
            cmake = f.read()
        listed = bench.re.search(r"set\(PG_PROGRAMS(.*?)CACHE", cmake, bench.re.S).group(1)
        built = sorted((name, int(alg)) for name, alg in bench.re.findall(r'"(\w+):(\d+)"', listed))
        self.assertEqual(sorted(bench.PROGRAMS), built)
        self.assertEqual(bench.PROGRAMS[0], ("Vantor", 11))


class ParseOutput(unittest.TestCase):
    def test_regions_by_index(self):
        out = "\n --> recursive with cudaGpuArena <-- \n\n" + REPORT + "Won by Even:\n0, 2, \n\nWon by Odd:\n1, \n\n"
        self.assertEqual(bench.parse_regions(out, 3), bytes([0, 1, 0]))

    def test_regions_of_the_range_solver(self):
        out = (REPORT + "Nodes won by Even: \n\n1, 3, \n\nNodes won by Odd: \n\n0, 2, \n\n"
               "This should be empty: \n\n\n\n")
        self.assertEqual(bench.parse_regions(out, 4), bytes([1, 0, 1, 0]))

    def test_empty_region(self):
        out = REPORT + "Won by Even:\n\n\nWon by Odd:\n0, 1, \n\n"
        self.assertEqual(bench.parse_regions(out, 2), bytes([1, 1]))

    def test_missing_or_unknown_nodes(self):
        self.assertIsNone(bench.parse_regions(REPORT, 2))
        self.assertIsNone(bench.parse_regions("Won by Even:\n5, \n\nWon by Odd:\n\n\n", 2))
        # A node in no region stays 2, which the harness reports as incomplete.
        self.assertEqual(bench.parse_regions("Won by Even:\n0, \n\nWon by Odd:\n\n\n", 2), bytes([0, 2]))

    def test_report_phases_first_report_only(self):
        phases = bench.parse_report(REPORT + "Won by Even:\n\n\n" + REPORT.replace("1.25", "9"))
        self.assertEqual(phases["solving took :"], 1.25)
        self.assertEqual(phases["setting up gpu_arena took:"], 0.5)
        self.assertEqual(phases["Total time:"], 1.76)
        self.assertNotIn("time 1 :", phases)


def answer(program, winner):
    return {"program": program, "status": "answered", "winner": bytes(winner)}


class Verdicts(unittest.TestCase):
    def test_known_winners_of_the_families(self):
        ladder = bench.game("ladder", [3], 6, {})
        self.assertEqual(bench.known_winners(ladder), bytes([0, 1, 0, 1, 0, 1]))
        self.assertEqual(bench.known_winners(bench.game("clique", [5], 5, {})), bytes([0, 1, 0, 1, 0]))
        self.assertIsNone(bench.known_winners(bench.game("clique", [3], 3, {})))
        self.assertEqual(bench.known_winners(bench.game("recursiveladder", [2], 6, {})), bytes(6))
        self.assertEqual(bench.known_winners(bench.game("jurdzinski", [2, 3], 14, {})), bytes(14))
        self.assertIsNone(bench.known_winners(bench.game("random", [5, 2, 1, 2], 5, {})))

    def test_a_wrong_answer_on_a_family_with_known_winners_fails(self):
        ladder = bench.game("ladder", [2], 4, {})
        results = [answer("Vantor", [0, 1, 0, 1]), answer("Korrel", [0, 1, 1, 1]),
                   {"program": "pgsolver_spm", "status": "timeout", "winner": None}]
        bench.judge(ladder, results)
        self.assertEqual(results[0]["status"], "ok")
        self.assertTrue(results[1]["status"].startswith("FAIL (1 nodes differ from the known winners"))
        self.assertEqual(results[2]["status"], "timeout")

    def test_the_majority_decides_without_known_winners(self):
        g = bench.game("random", [3, 2, 1, 2], 3, {})
        results = [answer("Vantor", [0, 0, 1]), answer("pgsolver_recursive", [1, 0, 1]),
                   answer("Korrel", [1, 0, 1])]
        bench.judge(g, results)
        self.assertTrue(results[0]["status"].startswith("FAIL"))
        self.assertEqual(results[1]["status"], "ok")
        self.assertEqual(results[2]["status"], "ok")

    def test_a_tie_goes_to_the_preferred_solver_and_a_lone_answer_is_unchecked(self):
        g = bench.game("random", [2, 2, 1, 2], 2, {})
        tie = [answer("Korrel", [1, 1]), answer("Vantor", [0, 1])]
        bench.judge(g, tie)
        self.assertEqual(tie[1]["status"], "ok")
        self.assertTrue(tie[0]["status"].startswith("FAIL"))
        lone = [answer("Vantor", [0, 1])]
        bench.judge(g, lone)
        self.assertEqual(lone[0]["status"], "unchecked (only answer)")

    def test_caps_keep_slow_algorithms_off_large_games(self):
        for e in bench.suite("default"):
            if e["family"] == "random" and e["params"][1] == "1000":
                self.assertEqual(e["caps"]["spm"], 0)
            # Larger recursive ladders are for tangle learning only.
            if e["family"] == "recursiveladder" and e["nodes"] > 36:
                for program in ("Vantor", "pgsolver_recursive", "Korrel", "pgsolver_range_spm"):
                    self.assertLess(bench.cap(e, program), e["nodes"])
                self.assertGreaterEqual(bench.cap(e, "pgsolver_tangle"), e["nodes"])
        sizes = [e["nodes"] for e in bench.suite("default") if e["family"] == "random"]
        self.assertIn(10**6, sizes)


if __name__ == "__main__":
    unittest.main()
