<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:apply-templates select="//book"/><xsl:apply-templates select="//book" mode="short"/></r></xsl:template>
<xsl:template match="book"><long><xsl:value-of select="title"/></long></xsl:template>
<xsl:template match="book" mode="short"><short><xsl:value-of select="@id"/></short></xsl:template>
<xsl:template match="text()" mode="short"/>
</xsl:stylesheet>
