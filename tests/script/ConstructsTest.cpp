// What Free Pascal cannot check for us: the errors the new constructs give, their limits on
// hostile scripts, and where Write's text goes in the program.
#include "KXScript.h"
#include "ScriptTestUtil.h"

#include <gtest/gtest.h>

namespace {

bool refused(const QString& source, const QString& part) {
    const QString out = runScript(source);
    return out.startsWith("ERR:") && out.contains(part);
}

} // namespace

// Typed constants are read, never written; their values fit their type.
TEST(Constructs, TypedConstantsAreCheckedAndReadOnly) {
    EXPECT_TRUE(refused("const A: array[0..2] of Integer = (1, 2); begin end.",
                        "3 valeurs attendues, 2 données"));
    EXPECT_TRUE(refused("type R = record x: Integer; end; const C: R = (y: 1); begin end.",
                        "champ inconnu « y »"));
    EXPECT_TRUE(refused("const A: array[0..1] of Integer = (1, 'a'); begin end.",
                        "types incompatibles"));
    EXPECT_TRUE(refused("const A: array[0..1] of Integer = (1, 2); begin A[0] := 5; end.",
                        "affectation impossible"));
    EXPECT_TRUE(refused("type R = record x: Integer; end; const C: R = (x: 1);\n"
                        "begin with C do x := 2; end.",
                        "affectation impossible"));
    EXPECT_TRUE(refused("const N: Integer = (1, 2); begin end.", "valeur incompatible"));
    EXPECT_TRUE(refused("var a, b: Integer = 1; begin end.", "une seule variable"));
    // A routine's typed constant is the same at every call, its initialised variable too.
    EXPECT_EQ(runScript("function F: string;\n"
                        "const T: array[1..2] of string = ('x', 'y'); var n: Integer = 3;\n"
                        "begin n := n + 1; Result := T[1] + T[2] + IntToStr(n); end;\n"
                        "begin showmessage(F + F); end."),
              "xy4xy4");
}

TEST(Constructs, CastsAndWithRefuseWhatTheyCannotDo) {
    EXPECT_TRUE(refused("var x: Integer; begin x := Integer(3.5); end.",
                        "transtypage impossible de « Double » en « Integer »"));
    EXPECT_TRUE(refused("var s: string; begin s := string(5); end.", "transtypage impossible"));
    EXPECT_TRUE(refused("var i: Integer; begin with i do i := 1; end.",
                        "enregistrement attendu après « with »"));
    EXPECT_TRUE(refused("type R = record b: Integer; end; function G: R; begin end;\n"
                        "begin G().b := 1; end.",
                        "affectation impossible"));
    EXPECT_TRUE(refused("procedure P(const a: array of Integer); begin end;\n"
                        "begin P([1..3]); end.",
                        "intervalle impossible"));
    // An open array may be the caller's static array: it keeps its size.
    EXPECT_TRUE(refused("procedure P(var a: array of Integer); begin SetLength(a, 3); end;\n"
                        "begin end.",
                        "un paramètre tableau ouvert ne change pas de taille"));
    EXPECT_TRUE(refused("procedure P(var a: array of Integer); begin a := nil; end;\nbegin end.",
                        "affectation impossible"));
    EXPECT_TRUE(refused("type T = array of Integer; procedure Q(var t: T); begin end;\n"
                        "procedure P(var a: array of Integer); begin Q(a); end;\nbegin end.",
                        "types incompatibles"));
    // A field reached through "with" is not a loop variable.
    EXPECT_TRUE(refused("type TR = record i: Integer; end; var r: TR;\n"
                        "begin with r do for i := 1 to 2 do; end.",
                        "variable de contrôle"));
    // The record of a "with" is taken once: a call in it runs once.
    EXPECT_EQ(runScript("type R = record a, b: Integer; end; var n: Integer;\n"
                        "function G: R; begin Inc(n); Result.a := n; Result.b := 2 * n; end;\n"
                        "begin with G do showmessage(IntToStr(a + b) + ' ' + IntToStr(n)); end."),
              "3 1");
}

// "for … in" walks what the collection held when the loop began; its variable is the loop's.
TEST(Constructs, ForInTakesTheCollectionOnce) {
    EXPECT_EQ(runScript("var s, r: string; c: Char;\n"
                        "begin s := 'abc'; r := ''; for c in s do begin s := s + 'x'; r := r + c;"
                        " end; showmessage(r + ' ' + s); end."),
              "abc abcxxx");
    EXPECT_EQ(runScript("var l: set of Char; c: Char; r: string;\n"
                        "begin l := ['z', #233, 'a']; r := ''; for c in l do r := r + c;"
                        " showmessage(r); end."),
              "azé");
    EXPECT_TRUE(refused("var c: Char; begin for c in 'ab' do c := 'x'; end.",
                        "variable de boucle « c »"));
    EXPECT_TRUE(refused("var c: Char; i: Integer; begin for c in i do; end.",
                        "chaîne, tableau ou ensemble attendu après « in »"));
    EXPECT_TRUE(refused("var i: Integer; begin for i in 'ab' do; end.", "types incompatibles"));
}

// Arrays of arrays sized past the heap, widths past reason, a Write that never ends: each
// ends in an error or a bounded text, never a crash or an unbounded allocation.
TEST(Constructs, HostileSizesAreBounded) {
    EXPECT_TRUE(runScript("var m: array of array of Integer;\n"
                          "begin SetLength(m, 100000, 100000); end.")
                    .contains("RUN:"));
    EXPECT_TRUE(runScript("var m: array of array of Integer;\n"
                          "begin try SetLength(m, 3000000, 3000); except\n"
                          "on E: EOutOfMemory do showmessage('mémoire'); end; end.")
                    .startsWith("mémoire"));
    EXPECT_TRUE(refused("var m: array of Integer; begin SetLength(m, 2, 2); end.",
                        "tableau dynamique de tableaux attendu"));

    TKXScript script;
    script.Script = QStringList{"var i: Integer;", "begin",
                                "  WriteLn(1:2000000000, 2.5:1:2000000000);",
                                "  for i := 1 to 20000 do WriteLn('ligne ', i);",
                                "  for i := 1 to 300000 do Write('x');", "end."};
    ASSERT_TRUE(script.Compile());
    ASSERT_TRUE(script.Run());
    // The capped width and decimals, 10 000 lines, then the note that the rest went.
    ASSERT_GT(script.Messages.size(), 10000);
    EXPECT_EQ(script.Messages[0].size(), 1000 + 2 + 1000);
    EXPECT_EQ(script.Messages[1], "ligne 1");
    EXPECT_EQ(script.Messages[10000], "… (la suite de la sortie n'est pas gardée)");
    EXPECT_EQ(script.Messages.size(), 10002);
    EXPECT_EQ(script.Messages.last(), "*** Exécution réussie ***");
}

// In the program, what Write prints joins the lines under the editor, after the lines the
// script wrote before and before the end of the run; an unfinished line is kept too.
TEST(Constructs, WriteGoesToTheScriptWindowsLines) {
    TKXScript script;
    script.Script = QStringList{"begin", "  Write('a', 1);", "  WriteLn(' b', True:5);",
                                "  Write(2.5:0:1); Write('|'); end."};
    ASSERT_TRUE(script.Compile());
    ASSERT_TRUE(script.Run());
    EXPECT_EQ(script.Messages,
              QStringList({"a1 b TRUE", "2.5|", "*** Exécution réussie ***"}));
}
