// attendu: 1 (7:6)
// Condition qui n'est pas booléenne : position du premier caractère de la condition.
program condition_not_boolean;
var
  n: Integer;
begin
  if n + 1 then
    showmessage('oui');
end.
