// attendu: 2 (7:17)
// Récursion sans fin : la pile d'appels déborde ; position de l'appel
// récursif (le nom de la fonction appelée).
program deep_recursion;
function Profondeur(n: Integer): Integer;
begin
  Result := 1 + Profondeur(n + 1);
end;

begin
  showmessage(IntToStr(Profondeur(0)));
end.
